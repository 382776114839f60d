#include "download/AdvertReply.h"

#include <glib.h>
#include <json/reader.h>
#include <json/value.h>

#include <memory>

const std::string g_strWebHost = DOWNLOADER_WEB_HOST;

namespace {
std::string Escaped(const std::string& value) {
    std::unique_ptr<char, decltype(&g_free)> text(
        g_uri_escape_string(value.c_str(), nullptr, FALSE), &g_free);
    return text ? text.get() : "";
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsScriptName(std::string_view name) {
    if (name.empty() || name.size() > 128) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool start = g_ascii_isalpha(c) || c == '_' || c == '$';
        if (!(start || (i > 0 && (g_ascii_isdigit(c) || c == '.')))) return false;
    }
    return true;
}

bool IsOne(const Json::Value& ret) {
    if (ret.isString()) return ret.asString() == "1";
    return ret.isIntegral() && ret.asLargestInt() == 1;
}
}  // namespace

std::string AdvertUrl(const std::string& version, const std::string& channel,
                      const std::string& callback, std::int64_t stamp, const std::string& webHost) {
    return HostBaseUrl(webHost) + "/tools/updateinfo.php?callback=" + Escaped(callback) +
           "&version=" + Escaped(version) + "&type=ad&channel=" + Escaped(channel) +
           "&_=" + std::to_string(stamp);
}

std::optional<std::string> AdvertFragment(std::string_view answer) {
    std::string_view text = Trimmed(answer);
    if (!text.empty() && text.back() == ';') text = Trimmed(text.substr(0, text.size() - 1));
    const std::size_t open = text.find('(');
    if (open == std::string_view::npos || text.empty() || text.back() != ')') return std::nullopt;
    if (!IsScriptName(Trimmed(text.substr(0, open)))) return std::nullopt;
    const std::string_view inner = text.substr(open + 1, text.size() - open - 2);

    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder["allowSpecialFloats"] = false;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    try {
        if (!reader->parse(inner.data(), inner.data() + inner.size(), &root, nullptr))
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;  // nesting beyond the reader's limit
    }
    if (!root.isObject() || !IsOne(root.get("ret", Json::Value()))) return std::nullopt;
    const Json::Value& ad = root["ad"];
    if (!ad.isString()) return std::nullopt;
    return ad.asString();
}
