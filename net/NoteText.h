#pragma once
// Small notes beside a partial file, replaced atomically (written beside, synced, renamed): a
// reader sees the old note or the new one, never a mix.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "net/NetResult.h"

NetResult SaveTextAtomically(const std::string& path, const std::string& text);
// The text at path; nothing when it is absent or longer than maxBytes.
std::optional<std::string> LoadSmallText(const std::string& path, std::size_t maxBytes);
// Whether text can stand as one value on a line: not empty, not too long, no control bytes.
bool IsNoteLineSafe(std::string_view text);
// text as a decimal number, all of it.
std::optional<std::uint64_t> NoteNumber(std::string_view text);
// The lines of the note at path after its first, which must be magic; nothing otherwise.
std::optional<std::istringstream> NoteLinesAfter(const std::string& path, std::size_t maxBytes,
                                                 std::string_view magic);
