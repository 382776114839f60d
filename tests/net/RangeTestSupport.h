#pragma once
// What the tests of downloads in ranges share: a file of 1 MiB and another of the same size,
// and settings that split it into many small pieces at once and try again quickly.

#include <chrono>
#include <string>

#include "net/RangeSettings.h"
#include "net/RetryPolicy.h"
#include "tests/support/Bytes.h"

inline const std::string kFile = PseudoRandomBytes(1 << 20, 41);
inline const std::string kNewFile = PseudoRandomBytes(1 << 20, 42);
constexpr RangeSettings kQuick{.pieceBytes = 128 << 10,
                               .minRemainingToSplit = 64 << 10,
                               .splitAfter = std::chrono::milliseconds(20),
                               .worthSplitting = std::chrono::milliseconds(50),
                               .worthRacing = std::chrono::milliseconds(1000)};
constexpr RetrySettings kQuickRetries{.firstDelay = std::chrono::milliseconds(10)};
