#pragma once
// The newest update version this user has accepted, kept in the user's private state folder so
// that an older, still validly signed reply can never take the program back to an older
// installer, whatever temporary folder a run is given.

#include <string>
#include <string_view>

#include "base/AppState.h"

// The record's name in the download folder, where earlier builds kept one for their product;
// in the state folder it is followed by "." and the product key.
inline constexpr char kAcceptedVersionFileName[] = "accepted-version";

// Where the records of one product are.
struct AcceptedVersionPlaces {
    std::string stateFolder;     // the user's state folder; empty when the user has none
    std::string downloadFolder;  // the download folder ("AppTmpPath"), the earlier place
    std::string productKey;      // the "Version" parameter
};

// The places of the product this run asks for.
AcceptedVersionPlaces AcceptedVersionPlacesOf(const AppState& app);

// The higher of the versions recorded in either place; empty when neither holds one.
std::string ReadAcceptedVersion(const AcceptedVersionPlaces& places);

// Raises the record in the state folder to version; when that cannot be written, the one in
// the download folder. Empty when the state folder holds version (or a higher one) now, or
// when version is not dotted numeric (such versions are never recorded); otherwise the text
// for the diagnostic log: where version was kept instead, or that it could not be kept.
std::string RecordAcceptedVersion(const AcceptedVersionPlaces& places, std::string_view version);

// One record file: the version it holds; empty when there is none or it is not a dotted
// numeric version (see DottedVersion.h). A damaged record counts as none rather than refusing
// every update from then on: only someone who can write the user's private folders can damage
// it, and they could replace the installer itself.
std::string ReadVersionRecord(const std::string& path);

// Raises one record file to version: written (mode 0600, through a temporary file renamed over
// the record, so a crash leaves the old or the new record) only when version is dotted numeric
// and above the recorded one. True when the record now holds version or a higher one.
bool RaiseVersionRecord(const std::string& path, std::string_view version);
