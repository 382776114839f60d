#include "net/WebPageAnswer.h"

#include <glib.h>

namespace {
bool StartsCaseless(std::string_view text, std::string_view start) {
    return text.size() >= start.size() &&
           g_ascii_strncasecmp(text.data(), start.data(), start.size()) == 0;
}
}  // namespace

bool LooksLikeHtml(std::string_view bytes) {
    const std::size_t first = bytes.find_first_not_of(" \t\r\n\f");
    if (first == std::string_view::npos) return false;
    bytes.remove_prefix(first);
    if (StartsCaseless(bytes, "\xEF\xBB\xBF")) return LooksLikeHtml(bytes.substr(3));
    return StartsCaseless(bytes, "<!doctype html") || StartsCaseless(bytes, "<html");
}

bool IsHtmlType(const std::optional<std::string>& contentType) {
    if (!contentType) return false;
    const std::string_view type = *contentType;
    const std::size_t at = type.find_first_not_of(' ');
    return at != std::string_view::npos && StartsCaseless(type.substr(at), "text/html");
}

bool IsWebPage(const std::optional<std::string>& contentType, std::string_view firstBytes) {
    return IsHtmlType(contentType) && LooksLikeHtml(firstBytes);
}
