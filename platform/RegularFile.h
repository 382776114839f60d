#pragma once
// Files the program writes or trusts live in the user's private folders, yet something else
// may stand at their names: a link planted by another program of the same user, a folder, a
// FIFO. Nothing is ever written or read through such a thing, and none is taken for a file.

#include <sys/types.h>

#include <string>

#include "base/UniqueFd.h"

// What stands at path when it is not a regular file ("a symbolic link", "a folder", "a FIFO",
// "a socket", "a device"); empty for a regular file or for nothing at all.
std::string NonFileAt(const std::string& path);

// Removes whatever non-file stands at path (a folder only when it is empty) and says what it
// was in cleared (empty when nothing had to go); false, with errno, when it cannot be removed.
bool ClearNonFile(const std::string& path, std::string& cleared);

// Opens path with flags (O_CREAT allowed, mode for a new file), never through a link and only
// as a regular file: a non-file at the name is cleared first (cleared says what it was). An
// invalid descriptor, with errno, when the name cannot be cleared or the file opened.
UniqueFd OpenRegularFile(const std::string& path, int flags, mode_t mode, std::string& cleared);

// Opens path for reading only when it is a regular file, not through a link; nothing is
// removed. Never blocks on a FIFO.
UniqueFd OpenRegularToRead(const std::string& path);
