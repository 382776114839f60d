#pragma once
// The second note beside a partial written in ranges (its path + ".extents"): every done
// extent of the file and the address that wrote it. The record (ResumeRecord.h) keeps its
// format, its synced length being the done extent from byte 0, so a program that knows only
// the record cuts such a partial back to that prefix and never keeps a hole. This note says
// the rest, and counts only beside the record it was written with (the same synced length).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/NetResult.h"

struct DoneExtent {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string writer;  // the address the bytes came from

    bool operator==(const DoneExtent&) const = default;
};

struct ExtentsNote {
    std::uint64_t synced = 0;  // the record's synced length when this was written
    std::vector<DoneExtent> done;

    bool operator==(const ExtentsNote&) const = default;
};

std::string ExtentsNotePath(const std::string& partialPath);
// Nothing when absent or not what SaveExtentsNote writes.
std::optional<ExtentsNote> LoadExtentsNote(const std::string& path);
NetResult SaveExtentsNote(const std::string& path, const ExtentsNote& note);
