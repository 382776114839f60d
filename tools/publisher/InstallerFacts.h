#pragma once
// What a reply says about the installer it names, measured from the file itself.

#include <cstdint>
#include <string>

struct InstallerFacts {
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hexadecimal
};

// Reads path once, through GLib's SHA-256. An error text, empty on success.
std::string MeasureInstaller(const std::string& path, InstallerFacts& facts);
