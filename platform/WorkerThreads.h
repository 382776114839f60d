#pragma once
// The worker threads of one window. Threads are started freely (each Retry adds one) and
// joined together once the window's loop has ended and the quit flag is set, so no worker
// outlives the objects it reaches.

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CWorkerThreads {
  public:
    ~CWorkerThreads() { JoinAll(); }
    void Start(std::function<void()> body);
    void JoinAll();
    std::size_t Started() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::thread> m_threads;
    std::size_t m_started = 0;
};
