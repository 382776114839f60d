#include "download/DottedVersion.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace {
std::optional<std::vector<std::uint64_t>> Components(std::string_view version) {
    std::vector<std::uint64_t> components;
    const char* p = version.data();
    const char* const end = version.data() + version.size();
    for (;;) {
        // from_chars takes no sign or blank; it fails on an empty component and on overflow.
        std::uint64_t value = 0;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc()) return std::nullopt;
        components.push_back(value);
        if (next == end) break;
        if (*next != '.') return std::nullopt;
        p = next + 1;
    }
    // Trailing zero components do not change the version: "1.2.0" is "1.2".
    while (components.size() > 1 && components.back() == 0) components.pop_back();
    return components;
}
}  // namespace

bool IsDottedVersion(std::string_view version) {
    return Components(version).has_value();
}

std::optional<std::strong_ordering> CompareDottedVersions(std::string_view a, std::string_view b) {
    const auto left = Components(a);
    const auto right = Components(b);
    if (!left || !right) return std::nullopt;
    return *left <=> *right;
}
