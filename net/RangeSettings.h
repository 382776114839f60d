#pragma once
// How a download may run as parallel ranges of one file, and how each range rides out its
// own failures. The worker hands the numbers down (its retry numbers, one connection on a
// metered network); tests shorten them.

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
    // A range's failures in a row without progress before it hands its work over, and its
    // first pause (doubled for each further failure).
    int maxTries = 5;
    std::chrono::milliseconds firstDelay{1000};
};
