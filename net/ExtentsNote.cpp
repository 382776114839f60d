#include "net/ExtentsNote.h"

#include <sstream>
#include <string_view>

#include "net/NoteText.h"

namespace {
constexpr char kMagic[] = "downloader-extents 1";
constexpr std::size_t kMaxNoteBytes = 256 * 1024;

// "START END WRITER", the extent not empty.
std::optional<DoneExtent> ExtentOf(std::string_view line) {
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first == std::string_view::npos ? first : first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto start = NoteNumber(line.substr(0, first));
    const auto end = NoteNumber(line.substr(first + 1, second - first - 1));
    const std::string_view writer = line.substr(second + 1);
    if (!start || !end || *start >= *end || !IsNoteLineSafe(writer)) return std::nullopt;
    return DoneExtent{*start, *end, std::string(writer)};
}

// The note's lines after its first: the synced prefix it was written with, then its extents.
std::optional<ExtentsNote> ExtentsIn(std::istringstream& lines) {
    std::string line;
    if (!std::getline(lines, line) || line.rfind("synced ", 0) != 0) return std::nullopt;
    const auto synced = NoteNumber(std::string_view(line).substr(7));
    if (!synced) return std::nullopt;
    ExtentsNote note{*synced, {}};
    while (std::getline(lines, line)) {
        if (line.rfind("done ", 0) != 0) return std::nullopt;
        const auto extent = ExtentOf(std::string_view(line).substr(5));
        if (!extent) return std::nullopt;
        note.done.push_back(*extent);
    }
    return note;
}
}  // namespace

std::string ExtentsNotePath(const std::string& partialPath) {
    return partialPath + ".extents";
}

std::optional<ExtentsNote> LoadExtentsNote(const std::string& path) {
    NoteLines note = ReadNote(path, kMaxNoteBytes, kMagic);
    if (note.state != NoteLines::State::Good) return std::nullopt;
    return ExtentsIn(note.lines);
}

NetResult SaveExtentsNote(const std::string& path, const ExtentsNote& note) {
    std::string text = std::string(kMagic) + "\nsynced " + std::to_string(note.synced) + "\n";
    for (const DoneExtent& extent : note.done)
        if (IsNoteLineSafe(extent.writer) && extent.start < extent.end)
            text += "done " + std::to_string(extent.start) + " " + std::to_string(extent.end) +
                    " " + extent.writer + "\n";
    return SaveCheckedNote(path, text);
}
