#pragma once
// The average speed of one transfer, measured from its start in whole seconds (rounded), and
// reported only once more than a second has passed.

#include <chrono>
#include <cstdint>
#include <optional>

class CSpeedClock {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CSpeedClock(Clock::time_point start = Clock::now()) : m_start(start) {}

    // KiB per second over the whole transfer for received bytes, truncated; nothing while the
    // elapsed whole seconds are 1 or fewer.
    std::optional<std::int32_t> AverageKiBPerSecond(std::uint64_t received,
                                                    Clock::time_point now = Clock::now()) const {
        auto elapsed = std::chrono::round<std::chrono::seconds>(now - m_start).count();
        if (elapsed <= 1) return std::nullopt;
        float speed = static_cast<float>(static_cast<double>(received) / 1024.0 /
                                         static_cast<double>(elapsed));
        return static_cast<std::int32_t>(speed);
    }

  private:
    Clock::time_point m_start;
};
