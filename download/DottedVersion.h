#pragma once
// Versions in dotted numeric order, the order in which updates may only move forward:
// "1.10" is above "1.9", and "1.2" equals "1.2.0" (missing components count as 0).

#include <compare>
#include <optional>
#include <string_view>

// Whether version is dotted numeric: one or more components of decimal digits, each below
// 2^64, separated by single dots ("2", "1.10.3"; not "", "1.", ".1", "1..2", "v1", "-1",
// "1.2-beta", nor anything with blanks).
bool IsDottedVersion(std::string_view version);

// The order of two dotted numeric versions; nothing when either is not dotted numeric, since
// such versions have no order to protect.
std::optional<std::strong_ordering> CompareDottedVersions(std::string_view a, std::string_view b);
