#pragma once
// When a transfer's bytes are next due for a checkpoint (data synced, then the record says how
// much is safe).

#include <chrono>
#include <cstdint>

// How often the data is synced and the record says how much of it is safe: about once a
// second, so that a power loss (or a killed program, whose partial is cut back the same way)
// costs about a second of transfer, and rarely enough to cost next to nothing.
constexpr std::chrono::milliseconds kSyncEvery{1000};
constexpr std::uint64_t kSyncAtMostBytes = 64 * 1024 * 1024;

class CCheckpointDue {
  public:
    explicit CCheckpointDue(std::uint64_t synced) : m_syncedAt(synced) {}
    // Whether present bytes are due for a checkpoint now; if so, they count as the last one.
    bool Now(std::uint64_t present) {
        const auto now = std::chrono::steady_clock::now();
        if (present - m_syncedAt < kSyncAtMostBytes &&
            (present <= m_syncedAt || now - m_syncedWhen < kSyncEvery))
            return false;
        m_syncedAt = present;
        m_syncedWhen = now;
        return true;
    }

  private:
    std::uint64_t m_syncedAt;
    std::chrono::steady_clock::time_point m_syncedWhen = std::chrono::steady_clock::now();
};
