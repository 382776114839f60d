#pragma once
// How a download may run as parallel ranges of one file. The worker hands the numbers down
// (one connection on a metered network); tests shorten them. Each range rides out its own
// failures by the same retry numbers as a whole attempt (RetryPolicy.h).

#include <chrono>
#include <cstdint>

struct RangeSettings {
    int maxConnections = 4;                 // at once, over every address; 1 never splits
    int maxPerHost = 4;                     // to one host:port, lowered for the run by a 429 or 503
    std::uint64_t pieceBytes = 4ull << 20;  // work is handed out in file order
    std::uint64_t minRemainingToSplit = 8ull << 20;  // more than this must remain
    // The extra ranges open from this long after the first connection started, once the rest
    // would take longer than worthSplitting at its rate over the last splitAfter (asked again
    // every splitAfter while it runs).
    std::chrono::milliseconds splitAfter{250};
    std::chrono::milliseconds worthSplitting{3000};
    // Once nothing is free, an idle range races the slowest one for the rest of its piece when
    // that rest would take longer than this at the slow range's rate.
    std::chrono::milliseconds worthRacing{5000};
};
