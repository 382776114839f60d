#pragma once
// The texts that the window hands to the page for each worker event. Sizes are shown whole
// (an installer past 2 or 4 GiB shows its true megabytes); percent and speed, which are small
// by nature, are read as signed 32-bit.

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
