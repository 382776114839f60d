#include "base/DiagLog.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <ctime>
#include <regex>

#include "base/Except.h"
#include "base/UniqueFd.h"
#include "tests/support/TempDir.h"

namespace {
const std::string kBom = "\xEF\xBB\xBF";
const std::regex kStamp(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\t)");

// The file with every time stamp replaced by "<T>\t", so its other bytes compare exactly.
std::string WithoutStamps(const std::string& bytes) {
    return std::regex_replace(bytes, kStamp, "<T>\t");
}

class DiagLogTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string log = dir / "log2026-12";
};
}  // namespace

TEST_F(DiagLogTest, NewFileGetsOneMarkThenCrLfEntries) {
    DiagLog(log.c_str(), "%s", "first");
    DiagLog(log.c_str(), "%s %d", "second", 2);
    EXPECT_EQ(WithoutStamps(ReadFile(log)), kBom + "<T>\tfirst\r\n<T>\tsecond 2\r\n");
}

TEST_F(DiagLogTest, StampIsTheLocalTimeOfTheWrite) {
    std::time_t before = std::time(nullptr);
    DiagLog(log.c_str(), "%s", "x");
    std::time_t after = std::time(nullptr);

    std::string bytes = ReadFile(log);
    ASSERT_GT(bytes.size(), kBom.size() + 20);
    std::tm stamp{};
    ASSERT_NE(strptime(bytes.c_str() + kBom.size(), "%Y.%m.%d %H:%M:%S\t", &stamp), nullptr);
    stamp.tm_isdst = -1;
    std::time_t written = std::mktime(&stamp);
    EXPECT_GE(written, before);
    EXPECT_LE(written, after);
}

TEST_F(DiagLogTest, LineFeedsInTheTextBecomeCrLfAndChineseStaysUnchanged) {
    DiagLog(log.c_str(), "%s", "一\n二\r\n三");
    EXPECT_EQ(WithoutStamps(ReadFile(log)), kBom + "<T>\t一\r\n二\r\r\n三\r\n");
}

TEST_F(DiagLogTest, ErrorTextOfAnExceptionIsFollowedByAnEmptyLine) {
    Except e("x", "CHttp::DownHttpFile", 135, "%s", "text");
    DiagLog(log.c_str(), "%s", e.GetText().c_str());
    EXPECT_EQ(WithoutStamps(ReadFile(log)),
              kBom + "<T>\tError:[x:CHttp::DownHttpFile:135] text\r\n\r\n");
}

TEST_F(DiagLogTest, ExistingContentIsAppendedToWithoutASecondMark) {
    WriteFile(log, "earlier\r\n");
    DiagLog(log.c_str(), "%s", "later");
    EXPECT_EQ(WithoutStamps(ReadFile(log)), "earlier\r\n<T>\tlater\r\n");

    // A file left empty (by whoever) counts as new: it gets the mark.
    std::string empty = dir / "empty";
    WriteFile(empty, "");
    DiagLog(empty.c_str(), "%s", "a");
    EXPECT_EQ(WithoutStamps(ReadFile(empty)), kBom + "<T>\ta\r\n");
}

TEST_F(DiagLogTest, MissingFolderLosesTheEntrySilently) {
    std::string inMissing = dir / "gone/log2026-12";
    DiagLog(inMissing.c_str(), "%s", "lost");
    EXPECT_FALSE(FileExists(dir / "gone"));
}

TEST_F(DiagLogTest, WriterFindingTheFileBusyLosesItsEntry) {
    DiagLog(log.c_str(), "%s", "one");
    {
        // Another writer in the middle of its entry holds the file.
        UniqueFd other(::open(log.c_str(), O_WRONLY | O_APPEND));
        ASSERT_TRUE(other);
        ASSERT_EQ(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
        DiagLog(log.c_str(), "%s", "lost");
    }
    DiagLog(log.c_str(), "%s", "three");
    EXPECT_EQ(WithoutStamps(ReadFile(log)), kBom + "<T>\tone\r\n<T>\tthree\r\n");
}
