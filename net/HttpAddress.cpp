#include "net/HttpAddress.h"

#include <string>

#include "net/CurlHandles.h"

namespace {
CurlText Part(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK) return nullptr;
    return CurlText(text);
}
}  // namespace

bool IsHttpAddress(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    const CurlUrl url(curl_url());
    if (!url) return false;
    // No scheme is guessed: "host/setup.exe" is not an address.
    if (curl_url_set(url.get(), CURLUPART_URL, std::string(text).c_str(), 0) != CURLUE_OK)
        return false;
    const CurlText scheme = Part(url.get(), CURLUPART_SCHEME);
    const CurlText host = Part(url.get(), CURLUPART_HOST);
    if (!scheme || !host || *host == '\0') return false;
    const std::string_view name = scheme.get();
    return name == "http" || name == "https";
}
