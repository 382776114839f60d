#pragma once
#include <string>

// Opens path with its default application through xdg-open, detached and not waited for;
// the outcome is not examined.
void ShellOpen(const std::string& path);
