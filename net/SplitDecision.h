#pragma once
// Whether a download may run as several ranges of the file: pure decisions on what the first
// answer showed and how fast the first connection goes.

#include <chrono>
#include <cstdint>

#include "net/RangeSettings.h"

struct SplitFacts {
    std::uint64_t size = 0;        // the whole file's size, 0 when unknown
    std::uint64_t remaining = 0;   // bytes not done yet
    long firstStatus = 0;          // the status of the first answer
    bool strongValidator = false;  // it named its copy with a strong ETag
    bool sizeSigned = false;       // a signed reply gives the size and digest
};

// The size is known; the server answered 206 with a strong validator, or a signature vouches
// for the size and digest; more than settings.minRemainingToSplit remain; more than one
// connection is allowed.
bool MaySplit(const SplitFacts& facts, const RangeSettings& settings);

// Whether, received bytes having come in elapsed, the remaining ones would take longer than
// settings.worthSplitting at that rate.
bool WorthSplitting(std::chrono::steady_clock::duration elapsed, std::uint64_t received,
                    std::uint64_t remaining, const RangeSettings& settings);
