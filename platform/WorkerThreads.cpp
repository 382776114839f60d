#include "platform/WorkerThreads.h"

void CWorkerThreads::Start(std::function<void()> body) {
    std::lock_guard lock(m_mutex);
    m_threads.emplace_back(std::move(body));
    ++m_started;
}

void CWorkerThreads::JoinAll() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        threads.swap(m_threads);
    }
    for (auto& t : threads)
        if (t.joinable()) t.join();
}

std::size_t CWorkerThreads::Started() const {
    std::lock_guard lock(m_mutex);
    return m_started;
}
