#pragma once
#include <string>

// Full path of the running executable; the current directory when it cannot be read; the
// empty string when neither can.
std::string GetModulePath();
// The executable's file name without its extension: the application's name.
std::string GetAppNameFromPath(const std::string& modulePath);
