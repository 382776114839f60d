#include "ui/ResUri.h"

#include <glib.h>

#include <array>
#include <string_view>

#include "ui/GObjectPtr.h"

namespace {

struct ResourceType {
    std::string_view name;
    std::string_view contentType;
};

// The "JPG" resources hold BMP bytes; the engine sniffs pictures by their content.
constexpr std::array<ResourceType, 6> kResourceTypes{{
    {"HTML", "text/html"},
    {"CSS", "text/css"},
    {"JS", "text/javascript"},
    {"JPG", "image/jpeg"},
    {"PNG", "image/png"},
    {"ICON", "image/png"},
}};

constexpr std::string_view kBridgeGetAppParams = "/bridge/GetAppParams";

bool IsDecimalId(std::string_view id) {
    if (id.empty() || id.size() > 9) return false;
    for (char c : id)
        if (!g_ascii_isdigit(c)) return false;
    return true;
}

// "/TYPE/" with the id in the fragment.
ResUri ResourceOf(std::string_view path, const char* fragment) {
    if (!fragment || !IsDecimalId(fragment)) return {};
    if (path.size() < 3 || path.front() != '/' || path.back() != '/') return {};
    const std::string_view type = path.substr(1, path.size() - 2);
    for (const auto& known : kResourceTypes) {
        if (known.name != type) continue;
        ResUri res;
        res.kind = ResUri::Kind::Resource;
        res.resourcePath = "/res/" + std::string(type) + "/" + fragment;
        res.contentType = known.contentType;
        return res;
    }
    return {};
}

ResUri AppParamOf(const char* query) {
    ResUri res;
    res.kind = ResUri::Kind::AppParam;
    if (!query) return res;
    GHashTablePtr params(g_uri_parse_params(query, -1, "&", G_URI_PARAMS_NONE, nullptr));
    if (!params) return {};
    if (auto* name = static_cast<const char*>(g_hash_table_lookup(params.get(), "name")))
        res.paramName = name;
    return res;
}

}  // namespace

ResUri ParseResUri(const std::string& uri) {
    GUriPtr parsed(g_uri_parse(uri.c_str(), G_URI_FLAGS_ENCODED_QUERY, nullptr));
    if (!parsed || g_strcmp0(g_uri_get_scheme(parsed.get()), "res") != 0) return {};
    const std::string_view path = g_uri_get_path(parsed.get());
    if (path == kBridgeGetAppParams) return AppParamOf(g_uri_get_query(parsed.get()));
    if (g_uri_get_query(parsed.get())) return {};
    return ResourceOf(path, g_uri_get_fragment(parsed.get()));
}
