#pragma once
// The newest update version this user has accepted, kept in the user's private folder so that
// an older, still validly signed reply can never take the program back to an older installer.

#include <string>
#include <string_view>

// The record's name inside the folder (the program's "AppTmpPath").
inline constexpr char kAcceptedVersionFileName[] = "accepted-version";

// The recorded version; empty when none has been recorded or the record is not a dotted
// numeric version (see DottedVersion.h). A damaged record counts as none rather than refusing
// every update from then on: only someone who can write the user's private folder can damage
// it, and they could replace the installer itself.
std::string ReadAcceptedVersion(const std::string& folder);

// Raises the record to version: written (mode 0600, through a temporary file renamed over the
// record, so a crash leaves the old or the new record) only when version is dotted numeric and
// above the recorded one. True when the record now holds version or a higher one; false when
// version is not dotted numeric or the record could not be written.
bool RecordAcceptedVersion(const std::string& folder, std::string_view version);
