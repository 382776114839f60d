#include "ui/EventTexts.h"

#include <cstdint>

#include "app/Format.h"

namespace {

constexpr double kPerKilo = 1.0 / 1024;

double Megabytes(double bytes) {
    return bytes * kPerKilo * kPerKilo;
}
std::int32_t Signed32(LPARAM value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

ProgressTexts ProgressTextsOf(WPARAM bytesDone, LPARAM percent) {
    return {Format("%d", Signed32(percent)),
            Format("%.2f", Megabytes(static_cast<std::uint32_t>(bytesDone)))};
}

bool IsCompleteProgress(LPARAM percent) {
    return Signed32(percent) >= 100;
}

std::string FileSizeTextOf(LPARAM totalBytes) {
    return Format("%.2f", Megabytes(Signed32(totalBytes)));
}

std::string SpeedTextOf(LPARAM kilobytesPerSecond) {
    return Format("%0.2f", static_cast<double>(static_cast<float>(Signed32(kilobytesPerSecond))));
}
