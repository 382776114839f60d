#include "net/SplitDecision.h"

bool MaySplit(const SplitFacts& facts, const RangeSettings& settings) {
    if (facts.size == 0 || settings.maxConnections < 2) return false;
    if (!facts.sizeSigned && !(facts.firstStatus == 206 && facts.strongValidator)) return false;
    return facts.remaining > settings.minRemainingToSplit;
}

bool WorthSplitting(std::chrono::steady_clock::duration elapsed, std::uint64_t received,
                    std::uint64_t remaining, const RangeSettings& settings) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    // Nothing yet in all that time: a slow start, surely worth more connections.
    if (received == 0) return true;
    const double rest = static_cast<double>(remaining) * seconds / static_cast<double>(received);
    return rest > std::chrono::duration<double>(settings.worthSplitting).count();
}
