#include "net/RateFloor.h"

bool CRateFloor::Below(std::uint64_t received, Clock::time_point now) {
    if (m_bytesPerSecond == 0 || m_window.count() <= 0) return false;
    if (m_seen.empty() || now - m_seen.back().first >= std::chrono::seconds(1))
        m_seen.emplace_back(now, received);
    // The newest reading at least a window old is what the rate is measured from.
    while (m_seen.size() > 1 && now - m_seen[1].first >= m_window) m_seen.pop_front();
    const auto [since, then] = m_seen.front();
    if (now - since < m_window) return false;
    const double seconds = std::chrono::duration<double>(now - since).count();
    return static_cast<double>(received - then) < static_cast<double>(m_bytesPerSecond) * seconds;
}
