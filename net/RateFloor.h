#pragma once
// The slowest a transfer may go: fewer bytes than the floor allows over the last window (once
// a whole window has passed) is a stall, even when a byte still comes now and then. A server
// that drips a few bytes a second would otherwise hold a transfer open for ever.

#include <chrono>
#include <cstdint>
#include <deque>
#include <utility>

class CRateFloor {
  public:
    using Clock = std::chrono::steady_clock;

    // No floor when bytesPerSecond or window is 0.
    CRateFloor(std::uint64_t bytesPerSecond, std::chrono::seconds window)
        : m_bytesPerSecond(bytesPerSecond), m_window(window) {}

    // Whether received bytes by now have come slower than the floor over the last window.
    bool Below(std::uint64_t received, Clock::time_point now = Clock::now());

  private:
    std::uint64_t m_bytesPerSecond;
    std::chrono::seconds m_window;
    // (when, bytes received by then): about one a second, the oldest a window back at most.
    std::deque<std::pair<Clock::time_point, std::uint64_t>> m_seen;
};
