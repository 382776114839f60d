#pragma once
// The update-information reply: which installer is current, where it comes from, and the
// document handed on to the page. Plain logic on text; the exchange itself is in
// UpdateRequest.h.

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// host[:port] or https://host[:port] of the maker's update-information service, compiled in.
extern const std::string g_strUpdateHost;
// Where the installer comes from when the service gives no usable answer.
extern const std::string g_strDefaultInstallerUrl;

// "scheme://host[:port]" for a host as the build settings give it: https only when the setting
// says "https://", http for a bare host[:port].
std::string HostBaseUrl(const std::string& host);

// The request URL for the product key and channel, on host (as HostBaseUrl takes it). The values go
// into the query as they stand: the service expects them unescaped.
std::string UpdateInfoUrl(const std::string& version, const std::string& channel,
                          const std::string& host = g_strUpdateHost);

struct UpdateInfo {
    bool parsed = false;               // the reply parsed and its members have the expected types
    std::string url;                   // address of the installer
    std::string version;               // version label as the service gave it; empty when not given
    std::string sha256;                // expected digest of the installer (64 hex digits), or empty
    std::vector<std::string> mirrors;  // further http(s) addresses of the same installer
    // The installer's exact size in bytes; only a signed reply gives it.
    std::optional<std::uint64_t> size;
    Json::Value document;  // the reply as far as the parser got; null for an empty reply
};

// Reads the service's reply. A reply that does not parse, whose root is neither an object nor
// null, or whose "url" or "version" is not a string, leaves parsed false and url at defaultUrl.
UpdateInfo ParseUpdateInfo(const std::string& reply,
                           const std::string& defaultUrl = g_strDefaultInstallerUrl);

// The installer's file name with its leading separator, to be joined to "AppTmpPath":
// "/myvelmora_setup" + version + ".exe", or "/myvelmora_setup.exe" without a parsed reply or
// when the version could not stay a single name inside the folder.
std::string InstallerFileName(const UpdateInfo& info);

// Whether version can go into the file name: valid text without a separator or a control
// character (NUL included), short enough for the name and its partial file to be created.
bool IsSafeVersionForFileName(const std::string& version);

// The document as one compact line for the page: members by name, one LF at the end.
std::string DetailText(const UpdateInfo& info);
