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
        RaiseVersionRecord(folder.Record(), version);
    EXPECT_EQ(ReadVersionRecord(folder.Record()), GetParam().stored);
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
    ASSERT_TRUE(RaiseVersionRecord(folder.Record(), "3.1"));
    struct stat status {};
    ASSERT_EQ(::stat(folder.Record().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(AcceptedVersionStore, DamagedRecordCountsAsNoneAndIsReplaced) {
    const TempFolder folder;
    for (const std::string& damage : {std::string("garbage"), std::string(300, '1'),
                                      std::string("1.2\0x", 5), std::string("9.9\n\n")}) {
        std::ofstream(folder.Record(), std::ios::binary | std::ios::trunc) << damage;
        EXPECT_EQ(ReadVersionRecord(folder.Record()), "") << damage;
    }
    EXPECT_TRUE(RaiseVersionRecord(folder.Record(), "1.0"));
    EXPECT_EQ(ReadVersionRecord(folder.Record()), "1.0");
}

// Records in the user's state folder ("" for none, "-" for a folder that cannot be written)
// and in the download folder, where earlier builds kept one; what is read, then recorded.
struct PlacesCase {
    const char *name, *inState, *inDownload, *read, *accepted, *stateAfter, *downloadAfter;
    bool logged = false;
};

class AcceptedVersionPlacesTest : public testing::TestWithParam<PlacesCase> {};

TEST_P(AcceptedVersionPlacesTest, ReadsTheHigherAndWritesTheStateFolder) {
    const PlacesCase& c = GetParam();
    const TempFolder download, state;
    const std::string stateRecord = state.Record() + ".velmora";
    RaiseVersionRecord(stateRecord, c.inState);
    RaiseVersionRecord(download.Record(), c.inDownload);
    RaiseVersionRecord(state.Record() + ".lumen", "9.0");  // another product's
    std::ofstream(state.Path() + "/file") << "not a folder, not even for root";
    const AcceptedVersionPlaces places{
        c.inState == std::string("-") ? state.Path() + "/file/" : state.Path() + "/",
        download.Path(), "velmora"};

    EXPECT_EQ(ReadAcceptedVersion(places), c.read);
    EXPECT_EQ(RecordAcceptedVersion(places, c.accepted).empty(), !c.logged);
    EXPECT_EQ(ReadVersionRecord(stateRecord), c.stateAfter);
    EXPECT_EQ(ReadVersionRecord(download.Record()), c.downloadAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Places, AcceptedVersionPlacesTest,
    testing::Values(PlacesCase{"First", "", "", "", "2.0", "2.0", "", false},
                    PlacesCase{"EarlierPlaceHigher", "2.0", "3.0", "3.0", "3.0", "3.0", "3.0"},
                    PlacesCase{"StateHigher", "3.0", "2.0", "3.0", "3.1", "3.1", "2.0"},
                    PlacesCase{"NotDotted", "1.0", "", "1.0", "beta", "1.0", ""},
                    PlacesCase{"StateUnwritable", "-", "1.0", "1.0", "2.0", "", "2.0", true}),
    [](const testing::TestParamInfo<PlacesCase>& info) { return std::string(info.param.name); });
}  // namespace
