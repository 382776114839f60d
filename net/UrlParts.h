#pragma once
// Splits a URL into the pieces a request is opened with. The http and https schemes are served.

#include <optional>
#include <string>

struct CUrlParts {
    std::string scheme = "http";  // "http" or "https", lower case
    std::string server;           // host name or address (IPv6 in brackets)
    unsigned port = 80;
    std::string object;  // path and query, at least "/"
};

// The parts of an http or https URL; nothing for any other scheme or for text that is not a
// URL.
std::optional<CUrlParts> SplitHttpUrl(const std::string& url);

// The URL a request for object on server:port is sent to, with scheme ("http" or "https").
std::string JoinHttpUrl(const std::string& scheme, const std::string& server, unsigned port,
                        const std::string& object);
