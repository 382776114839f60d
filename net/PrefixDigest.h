#pragma once
// The SHA-256 of a download's file while it is written, perhaps in ranges and out of order. The
// digest follows the done prefix from byte 0. Bytes that are written just where the digest
// stands are handed over in the buffer they were written from (it hashes them on a thread of
// its own, CBackgroundDigest), so one range that writes in file order is never read back; bytes
// the prefix reaches otherwise are read back from the file on a second thread. The receiving
// thread waits for neither.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/BackgroundDigest.h"
#include "net/NetResult.h"
#include "net/PartialFile.h"

class CPrefixDigest {
  public:
    // partial must outlive this; buffers handed over are bufferBytes long.
    CPrefixDigest(const CPartialFile& partial, std::size_t bufferBytes);
    ~CPrefixDigest();
    CPrefixDigest(const CPrefixDigest&) = delete;
    CPrefixDigest& operator=(const CPrefixDigest&) = delete;

    // The file's bytes before prefix are written and stay as they are.
    void Follow(std::uint64_t prefix);
    // The size bytes at the start of buffer were just written at offset at. When they are the
    // next the digest needs, buffer is taken and an empty one given back in its place.
    void Offer(std::uint64_t at, std::unique_ptr<char[]>& buffer, std::size_t size);
    // Bytes before prefix changed: everything is hashed again from byte 0 up to prefix.
    void Restart(std::uint64_t prefix);
    // Waits until the first size bytes are hashed and gives their digest; a read failure of
    // the file fails it.
    NetResult HexDigest(std::uint64_t size, std::string& hex);

  private:
    void Run();
    bool ReadBackNext(std::unique_lock<std::mutex>& hold);

    const CPartialFile& m_partial;
    const std::size_t m_bufferBytes;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_prefix = 0;
    std::uint64_t m_fed = 0;  // bytes handed to m_sha, in file order
    bool m_reading = false;   // the read-back thread is reading the bytes at m_fed
    bool m_restart = false;
    bool m_stop = false;
    NetResult m_failure;
    std::unique_ptr<CBackgroundDigest> m_sha;
    std::thread m_thread;  // last: it starts once everything it uses is there
};
