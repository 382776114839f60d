#pragma once
// The page's advertisement, asked of the web server as the page always asked it (JSONP: the
// callback parameter first, then version, type=ad, channel and a time stamp) but answered by
// the program, which reads the answer as data: nothing of it is ever run as script.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/UpdateInfo.h"

// The most of an answer that is read, and how long it may take.
inline constexpr std::size_t kMaxAdvertBytes = 256 * 1024;
inline constexpr int kAdvertSeconds = 10;

// host[:port] or https://host[:port] of the maker's web server, compiled in.
extern const std::string g_strWebHost;

// The request for the product key and channel (escaped as a page's query is), answered by
// calling callback, with stamp (milliseconds) keeping caches out.
std::string AdvertUrl(const std::string& version, const std::string& channel,
                      const std::string& callback, std::int64_t stamp,
                      const std::string& webHost = g_strWebHost);

// The fragment of an answer "callback({...});": the wrapper's name must be a plain script
// name; what it wraps must be a JSON object whose "ret" is "1" or 1 and whose "ad" is text.
// Nothing otherwise.
std::optional<std::string> AdvertFragment(std::string_view answer);
