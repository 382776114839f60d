#include "download/UpdateInfo.h"

#include <glib.h>
#include <json/reader.h>
#include <json/writer.h>

#include <climits>
#include <exception>
#include <string_view>

#include "base/Format.h"
#include "base/TextConv.h"
#include "net/Sha256.h"

const std::string g_strUpdateHost = DOWNLOADER_UPDATE_HOST;
const std::string g_strDefaultInstallerUrl =
    HostBaseUrl(DOWNLOADER_WEB_HOST) + "/tools/myvelmora_setup.exe";

std::string HostBaseUrl(const std::string& host) {
    // Only the scheme's spelling in the build settings is looked at; the host itself is
    // checked where the address is used.
    if (g_ascii_strncasecmp(host.c_str(), "https://", 8) == 0) return "https://" + host.substr(8);
    if (g_ascii_strncasecmp(host.c_str(), "http://", 7) == 0) return "http://" + host.substr(7);
    return "http://" + host;
}

namespace {
constexpr char kFileStem[] = "/myvelmora_setup";
constexpr char kFileEnding[] = ".exe";
constexpr char kDefaultFileName[] = "/myvelmora_setup.exe";
constexpr char kPartialEnding[] = ".df";

// A member that may be read as text: absent or null (read as empty) or a string. jsoncpp
// throws on a look-up in anything but an object or null, and on asString() of anything but a
// string, number, boolean or null.
bool IsTextMember(const Json::Value& root, const char* name) {
    const Json::Value* member = root.find(name, name + std::char_traits<char>::length(name));
    return !member || member->isNull() || member->isString();
}

std::string TextMember(const Json::Value& root, const char* name) {
    return NarrowToWide(root.get(name, Json::Value()).asString());
}

// Reader and FastWriter are deprecated in jsoncpp 1.9.5 but still present; the page and the
// service agree on exactly their behaviour (comments allowed, any root, members by name).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
bool ParseDocument(const std::string& bytes, Json::Value& document) {
    Json::Reader reader;
    try {
        return reader.parse(bytes.data(), bytes.data() + bytes.size(), document);
    } catch (const std::exception&) {
        // Nesting beyond the reader's depth limit is thrown rather than reported.
        return false;
    }
}

std::string WriteCompact(const Json::Value& document) {
    Json::FastWriter writer;
    return writer.write(document);
}
#pragma GCC diagnostic pop

// "mirrors": the strings of the list that are http(s) addresses; anything else is ignored,
// and a list longer than kMaxMirrors is cut there.
constexpr std::size_t kMaxMirrors = 8;
std::vector<std::string> MirrorsOf(const Json::Value& root) {
    std::vector<std::string> mirrors;
    constexpr std::string_view kName = "mirrors";
    const Json::Value* list =
        root.isObject() ? root.find(kName.data(), kName.data() + kName.size()) : nullptr;
    if (!list || !list->isArray()) return mirrors;
    for (const Json::Value& entry : *list) {
        if (mirrors.size() == kMaxMirrors) break;
        if (!entry.isString()) continue;
        std::string address = entry.asString();
        if (address.find('\0') == std::string::npos &&
            (address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0))
            mirrors.push_back(std::move(address));
    }
    return mirrors;
}
}  // namespace

std::string UpdateInfoUrl(const std::string& version, const std::string& channel,
                          const std::string& host) {
    return Format("%s/tools/updateinfo.php?type=all&detail=1&version=%s&channel=%s",
                  HostBaseUrl(host).c_str(), version.c_str(), channel.c_str());
}

UpdateInfo ParseUpdateInfo(const std::string& reply, const std::string& defaultUrl) {
    UpdateInfo info;
    const std::string bytes = WideToNarrow(reply);
    const bool parsed = ParseDocument(bytes, info.document);
    const Json::Value& root = info.document;
    const bool readable = parsed && (root.isNull() || root.isObject()) &&
                          IsTextMember(root, "url") && IsTextMember(root, "version");
    if (!readable) {
        info.url = defaultUrl;
        return info;
    }
    info.parsed = true;
    info.url = TextMember(root, "url");
    info.version = TextMember(root, "version");
    if (IsTextMember(root, "sha256")) {
        std::string digest = TextMember(root, "sha256");
        if (IsSha256Hex(digest)) info.sha256 = std::move(digest);
    }
    info.mirrors = MirrorsOf(root);
    return info;
}

bool IsSafeVersionForFileName(const std::string& version) {
    if (!g_utf8_validate(version.data(), static_cast<gssize>(version.size()), nullptr))
        return false;  // also any NUL
    for (const char* p = version.data(); p < version.data() + version.size();
         p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (c == '/' || c == '\\' || g_unichar_iscntrl(c)) return false;
    }
    // The stem keeps the name from ever being "." or ".."; it must still fit one directory
    // entry together with the partial file's ending, or no download could ever complete.
    const std::string partialName =
        std::string(kFileStem + 1) + version + kFileEnding + kPartialEnding;
    return partialName.size() <= NAME_MAX;
}

std::string InstallerFileName(const UpdateInfo& info) {
    if (!info.parsed || !IsSafeVersionForFileName(info.version)) return kDefaultFileName;
    return kFileStem + info.version + kFileEnding;
}

std::string DetailText(const UpdateInfo& info) {
    return NarrowToWide(WriteCompact(info.document));
}
