#include "download/AcceptedVersionStore.h"

#include <glib.h>

#include <fstream>
#include <memory>

#include "base/CallRelease.h"
#include "download/DottedVersion.h"

namespace {
using GErrorOwner = std::unique_ptr<GError, CallRelease<g_error_free>>;

// Far above any real version; a longer record is damaged, and is not read whole.
constexpr std::size_t kMaxRecordBytes = 256;

std::string RecordPath(const std::string& folder) {
    return folder + "/" + kAcceptedVersionFileName;
}
}  // namespace

std::string ReadAcceptedVersion(const std::string& folder) {
    std::ifstream in(RecordPath(folder), std::ios::binary);
    if (!in) return {};
    std::string text(kMaxRecordBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.size() > kMaxRecordBytes || !IsDottedVersion(text)) return {};
    return text;
}

bool RecordAcceptedVersion(const std::string& folder, std::string_view version) {
    if (!IsDottedVersion(version) || version.size() > kMaxRecordBytes) return false;
    const std::string recorded = ReadAcceptedVersion(folder);
    const auto order = CompareDottedVersions(version, recorded);  // nothing without a record
    if (order && *order <= 0) return true;

    const std::string contents = std::string(version) + "\n";
    GError* error = nullptr;
    const bool written = g_file_set_contents_full(RecordPath(folder).c_str(), contents.data(),
                                                  static_cast<gssize>(contents.size()),
                                                  G_FILE_SET_CONTENTS_CONSISTENT, 0600, &error);
    GErrorOwner owner(error);
    return written;
}
