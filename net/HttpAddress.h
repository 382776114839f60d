#pragma once
// Whether text is an address an installer may be fetched from.

#include <string_view>

// True for an absolute http or https URL with a host, as libcurl parses it. Text with a NUL
// is refused before libcurl sees it, since libcurl would read only up to the NUL.
bool IsHttpAddress(std::string_view text);
