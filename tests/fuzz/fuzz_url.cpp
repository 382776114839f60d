// Feeds arbitrary text to the URL splitter that decides where every request goes. Besides not
// crashing, a URL it accepts must give a usable request target: a host, a port in range, a
// path that starts with '/', no line breaks that could end up in a request line, and a port
// and request target that come back unchanged when joined and split again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/UrlParts.h"

namespace {
void Require(bool condition) {
    if (!condition) std::abort();
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const auto parts = SplitHttpUrl(url);
    if (!parts) return 0;

    Require(url.find('\0') == std::string::npos);
    Require(!parts->server.empty());
    Require(parts->port <= 65535);
    Require(!parts->object.empty() && parts->object[0] == '/');
    Require(!HasLineBreak(parts->server) && !HasLineBreak(parts->object));
    Require(parts->scheme == "http" || parts->scheme == "https");

    // libcurl may still normalise the host on a second pass (numeric IPv4 forms, percent
    // signs), so the round trip holds the port and the request target to their word.
    const auto again =
        SplitHttpUrl(JoinHttpUrl(parts->scheme, parts->server, parts->port, parts->object));
    Require(again.has_value());
    Require(again->scheme == parts->scheme);
    Require(again->port == parts->port && again->object == parts->object);
    return 0;
}
