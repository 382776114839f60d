#pragma once
// How a class ends the thread it owns: it raises the thread's stop flag under the lock the
// thread waits with, wakes it, and waits for it to end.

#include <condition_variable>
#include <mutex>
#include <thread>

inline void StopAndJoin(std::mutex& lock, std::condition_variable& changed, bool& stop,
                        std::thread& thread) {
    {
        std::lock_guard<std::mutex> hold(lock);
        stop = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
}
