#pragma once
// The Ed25519 public keys update information must be signed with. The program's own are
// compiled in; every check takes the list as a parameter, so tests hand in keys of their own.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "download/CompiledUpdateKeyTexts.h"

inline constexpr std::size_t kUpdateKeyBytes = 32;  // crypto_sign_PUBLICKEYBYTES
inline constexpr std::size_t kMaxUpdateKeyIdLength = 16;

struct UpdateKey {
    std::string id;
    std::array<unsigned char, kUpdateKeyBytes> publicKey{};
    // False when the key's text is not the base64 of exactly 32 bytes or its ID is not a key
    // ID: such a key verifies nothing.
    bool usable = false;
};

// Whether id is 1 to 16 characters of [A-Za-z0-9_-], the form of a key ID everywhere.
bool IsUpdateKeyId(std::string_view id);

// Decodes key texts, one key each and in order. A text that does not decode stays in the list
// as an unusable key: a damaged key must leave the program signed with nothing valid, never
// turn it into an unsigned one.
std::vector<UpdateKey> DecodeUpdateKeys(std::span<const UpdateKeyText> texts);

// The keys this program was built with, decoded on first use.
std::span<const UpdateKey> CompiledUpdateKeys();

// Whether update information must carry a valid signature: as soon as any key is given, even
// an unusable one. Without keys the program was built unsigned on purpose.
bool SignedMode(std::span<const UpdateKey> keys = CompiledUpdateKeys());
