#pragma once
// What the net tests share: a fixture that leaves the quit flag down and points the log into a
// private folder, and reproducible file contents.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <string>

#include "app/DownloaderApp.h"
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

class NetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        TheApp().m_bQuit = 0;
        TheApp().AppParams.Set("Log", m_dir / "log");
    }
    void TearDown() override { TheApp().m_bQuit = 0; }

    std::string Path(const std::string& name) const { return m_dir / name; }

    TempDir m_dir;
};
