#pragma once
// Reading the start of a small file with a descriptor that no child process inherits, never
// through a link and only from a regular file.

#include <cstddef>
#include <optional>
#include <string>

// At most maxBytes from the start of the file at path; nothing when it cannot be opened or
// read, or is not a regular file.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t maxBytes);
