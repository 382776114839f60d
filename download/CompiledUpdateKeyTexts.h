#pragma once
// The publisher's public keys exactly as the build was given them (DOWNLOADER_UPDATE_KEYS).
// CompiledUpdateKeyTexts() is the one function of a file generated at configure time from
// CompiledUpdateKeyTexts.cpp.in, so that changing the keys rebuilds only that file.

#include <span>
#include <string_view>

// One DOWNLOADER_UPDATE_KEYS entry, ID=BASE64, split at its first '='.
struct UpdateKeyText {
    std::string_view id;
    std::string_view base64;  // standard base64 of the 32-byte Ed25519 public key
};

// The entries in the order the build gave them; empty for an unsigned program.
std::span<const UpdateKeyText> CompiledUpdateKeyTexts();
