#pragma once
// What the net tests share: a fixture with a quit flag of its own and a log in a private
// folder, and clients made with them.

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <string>

#include "net/Http.h"
#include "tests/support/Bytes.h"
#include "tests/support/TempDir.h"

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
