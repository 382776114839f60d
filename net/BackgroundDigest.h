#pragma once
// SHA-256 of a stream of buffers, computed on a thread of its own: the thread that receives a
// download hands each full write buffer over and goes on receiving into another, so checking
// every byte costs the transfer no time where a second core is free.
//
// Buffers circulate: the caller always holds one, and at most `spare` more wait or are being
// hashed (at least one). A caller that fills buffers faster than they are hashed waits for one to
// come back.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/Sha256.h"

class CBackgroundDigest {
  public:
    // Every buffer that circulates is bufferBytes long.
    explicit CBackgroundDigest(std::size_t bufferBytes, std::size_t spare = 8);
    // What has not been hashed yet is dropped; the thread is joined.
    ~CBackgroundDigest();
    CBackgroundDigest(const CBackgroundDigest&) = delete;
    CBackgroundDigest& operator=(const CBackgroundDigest&) = delete;

    // Hands over the first size bytes of filled, to be hashed after everything handed over
    // before, and returns an empty buffer of bufferBytes.
    std::unique_ptr<char[]> Exchange(std::unique_ptr<char[]> filled, std::size_t size);
    // Lower-case hexadecimal digest of everything handed over, once all of it is hashed.
    std::string HexDigest();

  private:
    struct Filled {
        std::unique_ptr<char[]> bytes;
        std::size_t size;
    };
    void Run();

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Filled> m_waiting;
    std::vector<std::unique_ptr<char[]>> m_free;
    bool m_hashing = false;
    bool m_stop = false;
    CSha256 m_sha;
    std::thread m_thread;  // last: it starts once everything it uses is there
};
