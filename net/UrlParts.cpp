#include "net/UrlParts.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>

#include "net/CurlHandles.h"

namespace {
std::optional<std::string> Part(CURLU* url, CURLUPart which, unsigned flags = 0) {
    char* text = nullptr;
    // An empty part asked for escaped can come back as success without any text.
    if (curl_url_get(url, which, &text, flags) != CURLUE_OK || !text) return std::nullopt;
    CurlText owner(text);
    return std::string(text);
}

// A host name goes into the connection and the Host header as it is: only the characters of
// a name (letters, digits, "-._~", and the bytes of an international name) or a bracketed IPv6
// literal, which libcurl has checked, make a usable one. What percent escapes decode to (a
// blank, a control character, another '%') does not.
bool IsUsableHost(const std::string& host) {
    if (host.empty()) return false;
    if (host.front() == '[') return true;
    return std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return g_ascii_isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c >= 0x80;
    });
}
}  // namespace

std::optional<CUrlParts> SplitHttpUrl(const std::string& url) {
    // libcurl reads the text up to its first NUL; a URL carrying one would be cut short.
    if (url.find('\0') != std::string::npos) return std::nullopt;
    CurlUrl handle(curl_url());
    if (!handle) return std::nullopt;
    // No default scheme: text without one is not a URL here. A space (a channel name, a file
    // name in the reply) is taken as part of the address and sent escaped.
    if (curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_ALLOW_SPACE) != CURLUE_OK)
        return std::nullopt;
    auto scheme = Part(handle.get(), CURLUPART_SCHEME);
    // libcurl hands the scheme back in lower case. An https address keeps its scheme all the
    // way to the request: it is never downgraded.
    if (!scheme || (*scheme != "http" && *scheme != "https")) return std::nullopt;
    auto host = Part(handle.get(), CURLUPART_HOST);
    auto port = Part(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!host || !IsUsableHost(*host) || !port) return std::nullopt;

    CUrlParts parts;
    parts.scheme = *scheme;
    parts.server = *host;
    parts.port = static_cast<unsigned>(std::strtoul(port->c_str(), nullptr, 10));
    parts.object = Part(handle.get(), CURLUPART_PATH, CURLU_URLENCODE).value_or("/");
    if (parts.object.empty()) parts.object = "/";
    if (auto query = Part(handle.get(), CURLUPART_QUERY, CURLU_URLENCODE))
        parts.object += "?" + *query;
    return parts;
}

std::string JoinHttpUrl(const std::string& scheme, const std::string& server, unsigned port,
                        const std::string& object) {
    return scheme + "://" + server + ":" + std::to_string(port) + object;
}
