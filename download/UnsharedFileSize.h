#pragma once
#include <cstdint>
#include <string>

// Size of the regular file at path, read only while no other writer holds it (a transfer
// keeps its file locked exclusively while it writes); 0 when the file cannot be opened, is
// not a regular file, or is held.
std::uint64_t UnsharedFileSize(const std::string& path);
