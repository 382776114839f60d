#include "net/SizeBound.h"

NetResult CheckSizeBound(std::uint64_t presentBytes, std::optional<std::uint64_t> expectedSize,
                         const std::string& url) {
    if (!expectedSize || presentBytes <= *expectedSize) return {};
    return NetResult::Fail(NetFailure::TooLarge, url);
}
