#include "download/AcceptedVersionStore.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {
// A private folder of real files, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        gchar* path = g_dir_make_tmp("accepted-version-XXXXXX", nullptr);
        if (!path) throw std::runtime_error("cannot make a temporary folder");
        m_path = path;
        g_free(path);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    const std::string& Path() const { return m_path; }
    std::string Record() const { return m_path + "/" + kAcceptedVersionFileName; }

  private:
    std::string m_path;
};

struct RecordCase {
    const char* name;
    std::vector<std::string> recorded;  // in this order
    std::string stored;                 // what is read back afterwards
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.name;
}

class RecordSequence : public testing::TestWithParam<RecordCase> {};

TEST_P(RecordSequence, OnlyEverRaisesTheRecord) {
    const TempFolder folder;
    for (const std::string& version : GetParam().recorded)
        RecordAcceptedVersion(folder.Path(), version);
    EXPECT_EQ(ReadAcceptedVersion(folder.Path()), GetParam().stored);
    // Written through a temporary file renamed over the record: nothing else is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_EQ(entry.path().filename(), kAcceptedVersionFileName);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RecordSequence,
    testing::Values(RecordCase{"NothingRecorded", {}, ""}, RecordCase{"First", {"1.9"}, "1.9"},
                    RecordCase{"RaisedNumerically", {"1.9", "1.10"}, "1.10"},
                    RecordCase{"NeverLowered", {"2.0", "1.9"}, "2.0"},
                    RecordCase{"EqualKeepsTheFirstSpelling", {"1.2", "1.2.0"}, "1.2"},
                    RecordCase{"NotDottedIsNeverRecorded", {"1.0", "2.0-beta", "beta"}, "1.0"},
                    RecordCase{"NotDottedAlone", {"beta"}, ""}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

TEST(AcceptedVersionStore, RecordIsPrivateToTheUser) {
    const TempFolder folder;
    ASSERT_TRUE(RecordAcceptedVersion(folder.Path(), "3.1"));
    struct stat status {};
    ASSERT_EQ(::stat(folder.Record().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(AcceptedVersionStore, DamagedRecordCountsAsNoneAndIsReplaced) {
    const TempFolder folder;
    for (const std::string& damage : {std::string("garbage"), std::string(300, '1'),
                                      std::string("1.2\0x", 5), std::string("9.9\n\n")}) {
        std::ofstream(folder.Record(), std::ios::binary | std::ios::trunc) << damage;
        EXPECT_EQ(ReadAcceptedVersion(folder.Path()), "") << damage;
    }
    EXPECT_TRUE(RecordAcceptedVersion(folder.Path(), "1.0"));
    EXPECT_EQ(ReadAcceptedVersion(folder.Path()), "1.0");
}

TEST(AcceptedVersionStore, UnwritableFolderIsReported) {
    EXPECT_FALSE(RecordAcceptedVersion("/nonexistent-folder-for-test", "1.0"));
}
}  // namespace
