#pragma once
// Text is UTF-8 throughout the program. The two conversions at the HTTP body and JSON
// boundaries keep their roles: they make sure what crosses is valid UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

// Text handed to a narrow interface (a request body, the JSON parser): valid UTF-8, cut at
// the first NUL, invalid bytes replaced by U+FFFD.
std::string WideToNarrow(std::string_view text);
// Narrow bytes taken from outside (a response body, a JSON string): valid UTF-8, invalid
// bytes replaced by U+FFFD; embedded NULs are kept.
std::string NarrowToWide(std::string_view bytes);
// Length of a UTF-8 text counted in UTF-16 code units, for the sizes stated in those units.
std::size_t Utf16Length(std::string_view text);
