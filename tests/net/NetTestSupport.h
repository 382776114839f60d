#pragma once
// What the net tests share: a fixture with a quit flag of its own and a log in a private
// folder, clients made with them, and reproducible file contents.

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <string>

#include "net/Http.h"
#include "net/Sha256.h"
#include "tests/support/TempDir.h"

// Bytes that differ at every position, so that a misplaced block shows.
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

class NetTest : public ::testing::Test {
  protected:
    void SetUp() override { std::signal(SIGPIPE, SIG_IGN); }

    std::string Path(const std::string& name) const { return m_dir / name; }
    // A client that stops with m_quit and logs into this test's folder.
    CHttp NewHttp() { return CHttp(kAgent, m_quit, Path("log")); }

    static constexpr char kAgent[] = "downloader";
    TempDir m_dir;
    std::atomic<int> m_quit{0};
};
