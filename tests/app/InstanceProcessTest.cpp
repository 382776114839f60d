// The single-instance rule between real processes of the real executable, on a real display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/FileLock.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {
using namespace std::chrono_literals;

// One started program; killed and reaped when the test is done with it.
class CChild {
  public:
    CChild(const std::string& exe, const std::vector<std::string>& env,
           const std::string& outputPath) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv{const_cast<char*>(exe.c_str()), nullptr};
        std::vector<char*> envp;
        for (const auto& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~CChild() { Stop(SIGKILL); }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool Started() const { return m_pid > 0; }
    // The exit status once the program has ended within timeout; nothing while it runs.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_pid > 0) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(20ms);
        }
        return m_status;
    }
    void Stop(int signal = SIGTERM) {
        if (m_pid <= 0) return;
        ::kill(m_pid, signal);
        if (!WaitExit(10s)) {
            ::kill(m_pid, SIGKILL);
            WaitExit(10s);
        }
    }

  private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class InstanceProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs a display: run under xvfb-run -a";
        for (const char* sub : {"run", "tmp", "cache", "bin"})
            ASSERT_EQ(::mkdir((root / sub).c_str(), 0700), 0);
        // Whatever the window may one day open goes to a recorder, never to a real program.
        std::string recorder = root / "bin/xdg-open";
        WriteFile(recorder, "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/opened\"\n");
        ::chmod(recorder.c_str(), 0700);

        for (char** entry = environ; *entry; ++entry) {
            std::string text = *entry;
            for (const char* name : {"XDG_RUNTIME_DIR=", "TMPDIR=", "XDG_CACHE_HOME=", "PATH="})
                if (text.rfind(name, 0) == 0) text.clear();
            if (!text.empty()) env.push_back(text);
        }
        const char* path = std::getenv("PATH");
        env.push_back("PATH=" + root / "bin" + ":" + (path ? path : "/usr/bin:/bin"));
        env.push_back("XDG_RUNTIME_DIR=" + root / "run");
        env.push_back("TMPDIR=" + root / "tmp");
        env.push_back("XDG_CACHE_HOME=" + root / "cache");
        env.push_back("NO_AT_BRIDGE=1");
    }

    std::unique_ptr<CChild> Start(const std::string& exe = DOWNLOADER_EXE) {
        auto child = std::make_unique<CChild>(exe, env, root / ("output" + std::to_string(++runs)));
        EXPECT_TRUE(child->Started());
        return child;
    }
    std::string Output(int run) { return ReadFile(root / ("output" + std::to_string(run))); }
    std::string WindowTag(const std::string& appName = "downloader") {
        return root / ("run/" + appName + ".window");
    }
    bool WindowShown(const std::string& appName = "downloader") {
        return WaitUntil([&] { return CFileLock::IsHeldElsewhere(WindowTag(appName)); }, 30s);
    }
    // A refused start ends at once, without a word; a running one is still there.
    void ExpectRefused() {
        auto second = Start();
        EXPECT_EQ(second->WaitExit(10s), std::optional<int>(0));
        EXPECT_EQ(Output(runs), "");
    }

    TempDir root;
    std::vector<std::string> env;
    int runs = 0;
};
}  // namespace

TEST_F(InstanceProcessTest, SecondStartIsRefusedWhileTheFirstWindowExists) {
    auto first = Start();
    ASSERT_TRUE(WindowShown());
    ExpectRefused();
    ExpectRefused();
    EXPECT_FALSE(first->WaitExit(0ms)) << "the first instance keeps running";
    EXPECT_TRUE(CFileLock::IsHeldElsewhere(WindowTag()));
}

TEST_F(InstanceProcessTest, StartIsAcceptedAfterTheFirstIsGone) {
    auto first = Start();
    ASSERT_TRUE(WindowShown());
    first->Stop();

    auto second = Start();
    EXPECT_TRUE(WindowShown());
    EXPECT_FALSE(second->WaitExit(0ms));
}

TEST_F(InstanceProcessTest, CopyUnderAnotherFileNameRunsBesideTheFirst) {
    std::string copy = root / "bin/other-downloader";
    std::filesystem::copy_file(DOWNLOADER_EXE, copy);
    auto first = Start();
    ASSERT_TRUE(WindowShown());

    auto other = Start(copy);
    EXPECT_TRUE(WindowShown("other-downloader"));
    EXPECT_FALSE(other->WaitExit(0ms));
    EXPECT_FALSE(first->WaitExit(0ms));
}

TEST_F(InstanceProcessTest, WithoutADisplayItSaysSoAndFails) {
    // No X server, and no Wayland socket in this test's own runtime folder.
    std::erase_if(env, [](const std::string& entry) {
        for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "GDK_BACKEND="})
            if (entry.rfind(name, 0) == 0) return true;
        return false;
    });
    auto start = Start();
    EXPECT_EQ(start->WaitExit(10s), std::optional<int>(1));
    EXPECT_EQ(Output(runs), "downloader: cannot open a display\n");
}

TEST_F(InstanceProcessTest, HeldMarkerWithoutAWindowDoesNotRefuse) {
    // An instance that has not created its window yet, or has destroyed it already.
    CFileLock marker;
    ASSERT_TRUE(marker.TryAcquire(root / "run/downloader.lock"));

    auto start = Start();
    ASSERT_TRUE(WindowShown()) << "the new instance runs and tags its own window";
    EXPECT_FALSE(start->WaitExit(0ms));
    ExpectRefused();
}
