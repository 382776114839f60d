// Feeds arbitrary answers (status, Content-Range) to the decision on how a download answer
// continues the partial file. Whatever the server says, bytes may only be appended when they
// start exactly where the partial file ends; otherwise the partial file would be corrupted.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "net/ResumeAnswer.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const long status = input.ConsumeIntegralInRange<long>(0, 999);
    const std::uint64_t offset = input.ConsumeBool() ? input.ConsumeIntegral<std::uint64_t>()
                                                     : input.ConsumeIntegral<std::uint8_t>();
    std::optional<std::string> contentRange;
    if (input.ConsumeBool()) contentRange = input.ConsumeRemainingBytesAsString();

    const auto first = contentRange ? ContentRangeFirst(*contentRange) : std::nullopt;
    const auto total = contentRange ? UnsatisfiedRangeTotal(*contentRange) : std::nullopt;
    Require(!(first && total));  // one value cannot be both forms

    switch (DecideResume(status, offset, contentRange)) {
        case ResumeAction::Append:
            Require(status >= 200 && status < 300);
            Require(offset == 0 || (status == 206 && first == offset));
            break;
        case ResumeAction::Restart:
            Require(status >= 200 && status < 300);
            Require(status != 206 || first == std::uint64_t{0});
            break;
        case ResumeAction::AlreadyComplete:
            Require(status == 416 && offset > 0 && total == offset);
            break;
        case ResumeAction::Refuse:
            break;
    }
    return 0;
}
