#pragma once
// The texts that the window hands to the page for each worker event. Events carry 64-bit
// sizes; this is the one place that cuts them to the widths the page has always been shown:
// bytes done as unsigned 32-bit, size, speed and percent as signed 32-bit (so a size past
// 2 GiB shows as negative, as it always has).

#include <cstdint>
#include <string>

struct ProgressTexts {
    std::string percent;    // "%d"
    std::string megabytes;  // "%.2f" of the bytes done
};

ProgressTexts ProgressTextsOf(std::uint64_t bytesDone, std::int64_t percent);
// Whether a progress event announces the finished installer (100 percent or more).
bool IsCompleteProgress(std::int64_t percent);
std::string FileSizeTextOf(std::uint64_t totalBytes);
std::string SpeedTextOf(std::int64_t kilobytesPerSecond);
