#include "platform/TempPath.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class TempPathTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // GLib reads the cache folder once, on first use.
        ::setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
    }
    void SetUp() override { ::unsetenv("TMPDIR"); }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    std::string UseTmpdir(const std::string& name, mode_t mode) {
        std::string path = scratch / name;
        ::mkdir(path.c_str(), 0700);
        ::chmod(path.c_str(), mode);
        ::setenv("TMPDIR", path.c_str(), 1);
        return path;
    }
    // The folder this test's application falls back to.
    std::string CacheFolder() { return cache / appName; }

    static inline TempDir cache;
    TempDir scratch;
    const std::string appName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
};
}  // namespace

TEST_F(TempPathTest, PrivateTmpdirIsUsedWithATrailingSeparator) {
    std::string tmpdir = UseTmpdir("mine", 0700);
    EXPECT_EQ(GetPrivateTempPath(appName), tmpdir + "/");

    ::setenv("TMPDIR", (tmpdir + "/").c_str(), 1);
    EXPECT_EQ(GetPrivateTempPath(appName), tmpdir + "/");

    UseTmpdir("readable", 0755);
    EXPECT_EQ(GetPrivateTempPath(appName), scratch / "readable/");
    EXPECT_FALSE(FileExists(CacheFolder()));
}

TEST_F(TempPathTest, WithoutTmpdirTheCacheFolderIsMadePrivate) {
    EXPECT_EQ(GetPrivateTempPath(appName), CacheFolder() + "/");
    EXPECT_EQ(ModeOf(CacheFolder()), 0700u);
}

TEST_F(TempPathTest, TmpdirOthersMayWriteToIsRefused) {
    for (mode_t mode : {0770, 0720, 0703, 01777}) {
        UseTmpdir("shared" + std::to_string(mode), mode);
        EXPECT_EQ(GetPrivateTempPath(appName), CacheFolder() + "/") << std::oct << mode;
    }
}

TEST_F(TempPathTest, TmpdirThatIsNoPrivateFolderIsRefused) {
    std::string file = scratch / "file";
    WriteFile(file, "");
    std::string link = scratch / "link";
    ASSERT_EQ(::symlink(UseTmpdir("target", 0700).c_str(), link.c_str()), 0);
    for (std::string tmpdir :
         {file, link, scratch / "missing", std::string("relative"), std::string()}) {
        ::setenv("TMPDIR", tmpdir.c_str(), 1);
        EXPECT_EQ(GetPrivateTempPath(appName), CacheFolder() + "/") << tmpdir;
    }
}

TEST_F(TempPathTest, TmpdirOfAnotherUserIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
    std::string theirs = UseTmpdir("theirs", 0700);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(GetPrivateTempPath(appName), CacheFolder() + "/");
}

TEST_F(TempPathTest, LooseCacheFolderIsTightened) {
    ASSERT_EQ(::mkdir(CacheFolder().c_str(), 0777), 0);
    ::chmod(CacheFolder().c_str(), 0777);
    EXPECT_EQ(GetPrivateTempPath(appName), CacheFolder() + "/");
    EXPECT_EQ(ModeOf(CacheFolder()), 0700u);
}

TEST_F(TempPathTest, CacheFolderThatCannotBeOursGivesAFreshPrivateFolder) {
    // Someone put a link to an open folder where the cache folder belongs.
    std::string open = scratch / "open";
    ASSERT_EQ(::mkdir(open.c_str(), 0777), 0);
    ::chmod(open.c_str(), 0777);
    ASSERT_EQ(::symlink(open.c_str(), CacheFolder().c_str()), 0);

    std::string path = GetPrivateTempPath(appName);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '/');
    EXPECT_NE(path, CacheFolder() + "/");
    EXPECT_TRUE(IsPrivateDirectory(path.substr(0, path.size() - 1))) << path;
    EXPECT_EQ(ModeOf(open), 0777u) << "the foreign folder is left alone";
    ::rmdir(path.c_str());

    // A plain file in its place fares the same.
    ::unlink(CacheFolder().c_str());
    WriteFile(CacheFolder(), "");
    path = GetPrivateTempPath(appName);
    EXPECT_TRUE(IsPrivateDirectory(path.substr(0, path.size() - 1))) << path;
    ::rmdir(path.c_str());
}
