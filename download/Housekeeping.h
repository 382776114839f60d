#pragma once
// Old downloads in the private temporary folder: installers, partial files and their records
// of other versions, left by earlier runs. Each can be hundreds of megabytes.

#include <chrono>
#include <string>

inline constexpr std::chrono::hours kStaleDownloadAge{24 * 30};

// Removes from folder the regular files named like an installer of another version than
// keepName ("myvelmora_setup<v>.exe", its ".df", ".df.meta" and ".meta") whose last change is
// older than maxAge at now. Anything else (the log above all) is never touched.
void RemoveStaleDownloads(const std::string& folder, const std::string& keepName,
                          std::chrono::system_clock::time_point now,
                          std::chrono::hours maxAge = kStaleDownloadAge);
