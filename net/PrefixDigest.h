#pragma once
// The SHA-256 of a file written in ranges. The file's bytes arrive out of order, so the digest
// follows the done prefix from byte 0: told how far the prefix reaches, it reads the file back
// on a thread of its own, and the receiving thread never waits for it. Work handed out in
// file order keeps the prefix close behind the newest bytes, so little is left to hash once
// the last byte is in.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/NetResult.h"
#include "net/PartialFile.h"
#include "net/Sha256.h"

class CPrefixDigest {
  public:
    // partial must outlive this.
    explicit CPrefixDigest(const CPartialFile& partial);
    ~CPrefixDigest();
    CPrefixDigest(const CPrefixDigest&) = delete;
    CPrefixDigest& operator=(const CPrefixDigest&) = delete;

    // The file's bytes before prefix are written and stay as they are.
    void Follow(std::uint64_t prefix);
    // Bytes before prefix changed: everything is hashed again from byte 0 up to prefix.
    void Restart(std::uint64_t prefix);
    // Waits until the first size bytes are hashed and gives their digest; a read failure of
    // the file fails it.
    NetResult HexDigest(std::uint64_t size, std::string& hex);

  private:
    void Run();
    bool HashNext(std::unique_lock<std::mutex>& hold);

    const CPartialFile& m_partial;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_prefix = 0;
    std::uint64_t m_hashed = 0;
    bool m_restart = false;
    bool m_stop = false;
    NetResult m_failure;
    std::unique_ptr<CSha256> m_sha = std::make_unique<CSha256>();
    std::thread m_thread;  // last: it starts once everything it uses is there
};
