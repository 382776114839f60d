#include "download/AcceptedVersionStore.h"

#include <glib.h>

#include <memory>

#include "base/CallRelease.h"
#include "download/DottedVersion.h"
#include "platform/SmallFile.h"

namespace {
using GErrorOwner = std::unique_ptr<GError, CallRelease<g_error_free>>;
using GText = std::unique_ptr<gchar, CallRelease<g_free>>;

// Far above any real version; a longer record is damaged, and is not read whole.
constexpr std::size_t kMaxRecordBytes = 256;

std::string InFolder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The product's own record; the key is escaped so that no key can name another file.
std::string StateRecordPath(const AcceptedVersionPlaces& places) {
    const GText key(g_uri_escape_string(places.productKey.c_str(), nullptr, FALSE));
    return InFolder(places.stateFolder, std::string(kAcceptedVersionFileName) + "." + key.get());
}

std::string OldRecordPath(const AcceptedVersionPlaces& places) {
    return InFolder(places.downloadFolder, kAcceptedVersionFileName);
}

// The higher of two records read back, either of which may be empty.
std::string Higher(const std::string& a, const std::string& b) {
    const auto order = CompareDottedVersions(a, b);  // nothing when one is empty
    if (!order) return a.empty() ? b : a;
    return *order < 0 ? b : a;
}
}  // namespace

AcceptedVersionPlaces AcceptedVersionPlacesOf(const AppState& app) {
    return {app.stateFolder, app.params.Get("AppTmpPath"), app.params.Get("Version")};
}

std::string ReadAcceptedVersion(const AcceptedVersionPlaces& places) {
    const std::string old = ReadVersionRecord(OldRecordPath(places));
    if (places.stateFolder.empty()) return old;
    return Higher(old, ReadVersionRecord(StateRecordPath(places)));
}

std::string RecordAcceptedVersion(const AcceptedVersionPlaces& places, std::string_view version) {
    if (!IsDottedVersion(version)) return {};
    std::string why = "there is no private state folder";
    if (!places.stateFolder.empty()) {
        if (RaiseVersionRecord(StateRecordPath(places), version)) return {};
        why = StateRecordPath(places) + " cannot be written";
    }
    const std::string old = OldRecordPath(places);
    if (RaiseVersionRecord(old, version))
        return "accepted version " + std::string(version) + " kept in " + old + ": " + why;
    return "accepted version " + std::string(version) + " not kept: " + why + ", nor " + old;
}

std::string ReadVersionRecord(const std::string& path) {
    std::string text = ReadFileStart(path, kMaxRecordBytes + 1).value_or("");
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.size() > kMaxRecordBytes || !IsDottedVersion(text)) return {};
    return text;
}

bool RaiseVersionRecord(const std::string& path, std::string_view version) {
    if (!IsDottedVersion(version) || version.size() > kMaxRecordBytes) return false;
    const auto order = CompareDottedVersions(version, ReadVersionRecord(path));
    if (order && *order <= 0) return true;  // no order: nothing recorded yet

    const std::string contents = std::string(version) + "\n";
    GError* error = nullptr;
    const bool written = g_file_set_contents_full(path.c_str(), contents.data(),
                                                  static_cast<gssize>(contents.size()),
                                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error);
    GErrorOwner owner(error);
    return written;
}
