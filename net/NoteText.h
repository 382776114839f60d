#pragma once
// Small notes beside a partial file, replaced atomically (written beside, synced, renamed): a
// reader sees the old note or the new one, never a mix. Each ends with a check of its own
// content, so that a note torn by the disk or edited by hand counts as absent, not as true.
// The check is no seal: whoever can write the note can write its check too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "net/NetResult.h"

// Written to a fresh name beside path, synced, renamed onto it, and the folder synced, so that
// a power loss after it returns cannot bring back the older text.
NetResult SaveTextAtomically(const std::string& path, const std::string& text);
// Syncs the folder path stands in: a rename there is then on the disk.
NetResult SyncFolderOf(const std::string& path);
// The text at path; nothing when it is absent, not a regular file (a link is not followed) or
// longer than maxBytes.
std::optional<std::string> LoadSmallText(const std::string& path, std::size_t maxBytes);
// Whether text can stand as one value on a line: not empty, not too long, no control bytes.
bool IsNoteLineSafe(std::string_view text);
// text as a decimal number, all of it.
std::optional<std::uint64_t> NoteNumber(std::string_view text);

// text (its lines, the first a magic line) saved with a last line "check <SHA-256 of text>".
NetResult SaveCheckedNote(const std::string& path, const std::string& text);

struct NoteLines {
    enum class State {
        Absent,     // no note there
        Good,       // magic first, check last, and the check holds
        Unchecked,  // magic first but no check line: written by an earlier program
        Damaged,    // anything else: another format, a failed check, too long
    };
    State state = State::Absent;
    std::istringstream lines;  // Good and Unchecked: the lines after the magic one, no check
};
NoteLines ReadNote(const std::string& path, std::size_t maxBytes, std::string_view magic);
