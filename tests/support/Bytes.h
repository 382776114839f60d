#pragma once
// File contents for tests: reproducible bytes, and the digest a download is checked against.

#include <cstdint>
#include <string>

#include "net/Sha256.h"

// Bytes that differ at every position, so that a misplaced block shows. The same size and seed
// give the same bytes.
inline std::string PseudoRandomBytes(std::size_t size, std::uint32_t seed = 12345) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (auto& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// Lower-case hexadecimal SHA-256 of bytes.
inline std::string DigestOf(const std::string& bytes) {
    CSha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.HexDigest();
}
