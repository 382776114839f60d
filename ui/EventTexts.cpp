#include "ui/EventTexts.h"

#include <cstdint>

#include "base/Format.h"

namespace {

constexpr double kPerKilo = 1.0 / 1024;

double Megabytes(double bytes) {
    return bytes * kPerKilo * kPerKilo;
}
std::int32_t Signed32(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

ProgressTexts ProgressTextsOf(std::uint64_t bytesDone, std::int64_t percent) {
    return {Format("%d", Signed32(percent)),
            Format("%.2f", Megabytes(static_cast<double>(bytesDone)))};
}

bool IsCompleteProgress(std::int64_t percent) {
    return Signed32(percent) >= 100;
}

std::string FileSizeTextOf(std::uint64_t totalBytes) {
    return Format("%.2f", Megabytes(static_cast<double>(totalBytes)));
}

std::string SpeedTextOf(std::int64_t kilobytesPerSecond) {
    return Format("%0.2f", static_cast<double>(static_cast<float>(Signed32(kilobytesPerSecond))));
}
