#pragma once
// The parts of a Content-Range value: "bytes first-last/total" for a part of a file, or
// "bytes */total" for a range the server could not satisfy. The total may be "*" (unknown).

#include <cstdint>
#include <optional>
#include <string>

struct ContentRangeParts {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::uint64_t> total;  // none when the server gives "*"
};

// The parts of "bytes first-last/total" (first <= last, and last < total when one is given).
std::optional<ContentRangeParts> ParseContentRange(const std::string& value);
// The first byte position of a Content-Range value "bytes first-last/total".
std::optional<std::uint64_t> ContentRangeFirst(const std::string& value);
// The total of a Content-Range value "bytes first-last/total"; none when it is "*".
std::optional<std::uint64_t> ContentRangeTotal(const std::string& value);
// The total of an unsatisfied-range value "bytes */total".
std::optional<std::uint64_t> UnsatisfiedRangeTotal(const std::string& value);
