#pragma once
// Splits a URL into the pieces a request is opened with. Only the http scheme is served.

#include <optional>
#include <string>

struct CUrlParts {
    std::string server;  // host name or address (IPv6 in brackets)
    unsigned port = 80;
    std::string object;  // path and query, at least "/"
};

// The parts of an http URL; nothing for any other scheme or for text that is not a URL.
std::optional<CUrlParts> SplitHttpUrl(const std::string& url);

// The URL a request for object on server:port is sent to.
std::string JoinHttpUrl(const std::string& server, unsigned port, const std::string& object);
