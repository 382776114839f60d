#include "net/BackgroundDigest.h"

#include <algorithm>
#include <utility>

#include "net/StopAndJoin.h"

CBackgroundDigest::CBackgroundDigest(std::size_t bufferBytes, std::size_t spare) {
    for (std::size_t i = 0; i < std::max<std::size_t>(spare, 1); ++i)
        m_free.emplace_back(new char[bufferBytes]);
    m_thread = std::thread([this] { Run(); });
}

CBackgroundDigest::~CBackgroundDigest() {
    StopAndJoin(m_lock, m_changed, m_stop, m_thread);
}

std::unique_ptr<char[]> CBackgroundDigest::Exchange(std::unique_ptr<char[]> filled,
                                                    std::size_t size) {
    if (size == 0) return filled;
    std::unique_lock<std::mutex> hold(m_lock);
    m_waiting.push_back(Filled{std::move(filled), size});
    m_changed.notify_all();
    m_changed.wait(hold, [this] { return !m_free.empty(); });
    std::unique_ptr<char[]> empty = std::move(m_free.back());
    m_free.pop_back();
    return empty;
}

std::string CBackgroundDigest::HexDigest() {
    std::unique_lock<std::mutex> hold(m_lock);
    m_changed.wait(hold, [this] { return m_waiting.empty() && !m_hashing; });
    return m_sha.HexDigest();
}

void CBackgroundDigest::Run() {
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop) return;
        Filled next = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_hashing = true;
        hold.unlock();
        m_sha.Update(next.bytes.get(), next.size);
        hold.lock();
        m_hashing = false;
        m_free.push_back(std::move(next.bytes));
        m_changed.notify_all();
    }
}
