#pragma once
// What a download is given by the client that runs it: the session its requests go through,
// how it may split and how its ranges and attempts are tried again, what the client has learned
// of each address so far, and where its failures are logged.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "net/AddressHistory.h"
#include "net/RangeSettings.h"
#include "net/RetryPolicy.h"

class CInternetSession;

// Free bytes on the file system of a path; tests hand in a small disk.
using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(const std::string& path)>;

struct DownloadContext {
    CInternetSession& session;
    unsigned requestFlags;
    const int& stop;  // nonzero: the download stops between blocks
    const RangeSettings& ranges;
    const RetrySettings& retry;
    CAddressHistory& history;
    const FreeSpaceProbe& freeSpace;  // may be empty: the file system is asked
    const std::string& logPath;

    // Writes "url:words" to the log the first time a failure of this kind is seen at url.
    void LogOnce(const std::string& url, const std::string& kind, const std::string& words) const;
    // Logs that found (NonFileAt) stood at path, and whether it was cleared away.
    void LogNonFile(const std::string& path, const std::string& found, bool cleared) const;
};
