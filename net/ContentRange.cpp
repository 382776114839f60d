#include "net/ContentRange.h"

#include <charconv>
#include <string_view>

namespace {
constexpr std::string_view kUnit = "bytes ";

std::optional<std::uint64_t> NumberAt(std::string_view text, char terminator) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    if (terminator ? (end == text.data() + text.size() || *end != terminator)
                   : end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::string_view> AfterUnit(const std::string& value) {
    std::string_view text = value;
    if (text.substr(0, kUnit.size()) != kUnit) return std::nullopt;
    return text.substr(kUnit.size());
}
}  // namespace

std::optional<ContentRangeParts> ParseContentRange(const std::string& value) {
    const auto range = AfterUnit(value);
    if (!range) return std::nullopt;
    const std::size_t dash = range->find('-'), slash = range->find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
        return std::nullopt;
    const auto first = NumberAt(range->substr(0, dash + 1), '-');
    const auto last = NumberAt(range->substr(dash + 1, slash - dash), '/');
    if (!first || !last || *first > *last) return std::nullopt;
    ContentRangeParts parts{*first, *last, std::nullopt};
    if (range->substr(slash + 1) != "*") {
        parts.total = NumberAt(range->substr(slash + 1), '\0');
        if (!parts.total || *parts.total <= *last) return std::nullopt;
    }
    return parts;
}

std::optional<std::uint64_t> ContentRangeFirst(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range) return std::nullopt;
    return NumberAt(*range, '-');
}

std::optional<std::uint64_t> ContentRangeTotal(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range) return std::nullopt;
    std::size_t slash = range->find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    return NumberAt(range->substr(slash + 1), '\0');
}

std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& value) {
    auto range = AfterUnit(value);
    if (!range || range->substr(0, 2) != "*/") return std::nullopt;
    return NumberAt(range->substr(2), '\0');
}
