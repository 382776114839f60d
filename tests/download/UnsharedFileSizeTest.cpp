#include "download/UnsharedFileSize.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "base/UniqueFd.h"
#include "tests/support/TempDir.h"

namespace {
TEST(UnsharedFileSize, SizeOfAFileNobodyWrites) {
    TempDir tmp;
    WriteFile(tmp / "setup.exe", std::string(1234, 'x'));
    EXPECT_EQ(UnsharedFileSize(tmp / "setup.exe"), 1234u);
    EXPECT_EQ(UnsharedFileSize(tmp / "missing.exe"), 0u);
}

TEST(UnsharedFileSize, FileHeldByAWriterReadsAsZero) {
    TempDir tmp;
    const std::string path = tmp / "setup.exe";
    WriteFile(path, std::string(100, 'x'));
    {
        UniqueFd writer(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(writer.get(), LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(UnsharedFileSize(path), 0u);
    }
    {
        UniqueFd writer(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(writer.get(), F_OFD_SETLK, &lock), 0);
        EXPECT_EQ(UnsharedFileSize(path), 0u);
    }
    // Readers do not count as writers, and a released lock is gone.
    UniqueFd reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(reader.get(), LOCK_SH | LOCK_NB), 0);
    EXPECT_EQ(UnsharedFileSize(path), 100u);
}

TEST(UnsharedFileSize, OnlyRegularFilesHaveASize) {
    TempDir tmp;
    // A FIFO under the installer's name must not block the worker.
    ASSERT_EQ(::mkfifo((tmp / "fifo.exe").c_str(), 0600), 0);
    EXPECT_EQ(UnsharedFileSize(tmp / "fifo.exe"), 0u);
    ASSERT_EQ(::mkdir((tmp / "dir.exe").c_str(), 0700), 0);
    EXPECT_EQ(UnsharedFileSize(tmp / "dir.exe"), 0u);
}
}  // namespace
