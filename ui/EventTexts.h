#pragma once
// The texts that the window hands to the page for each worker event. Each event's numbers are
// read at their stated widths: bytes done as unsigned 32-bit, size, speed and percent as
// signed 32-bit (so a size past 2 GiB shows as negative, as it always has).

#include <string>

#include "platform/MessageQueue.h"

struct ProgressTexts {
    std::string percent;    // "%d"
    std::string megabytes;  // "%.2f" of the bytes done
};

ProgressTexts ProgressTextsOf(WPARAM bytesDone, LPARAM percent);
// Whether a progress event announces the finished installer (100 percent or more).
bool IsCompleteProgress(LPARAM percent);
std::string FileSizeTextOf(LPARAM totalBytes);
std::string SpeedTextOf(LPARAM kilobytesPerSecond);
