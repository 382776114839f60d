// What may stand at the names a download writes (the partial, its record and note, the
// installer): whatever it is, nothing is written through it, the file outside stays as it was,
// and the log names the path and what was found.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kFile = PseudoRandomBytes(300000, 5);
const std::string kOutside = "a file of the user's, outside the private folder";

enum class Planted { LinkToOutside, LinkToNothing, Folder, FullFolder, Fifo };

struct PlantedCase {
    const char* name;
    const char* suffix;  // after the installer's name
    Planted planted;
    int result;          // of the download
    const char* logged;  // what the log says was found
};

void PrintTo(const PlantedCase& c, std::ostream* os) {
    *os << c.name;
}

void Plant(const std::string& path, Planted planted, const std::string& outside) {
    switch (planted) {
        case Planted::LinkToOutside:
            ASSERT_EQ(::symlink(outside.c_str(), path.c_str()), 0);
            break;
        case Planted::LinkToNothing:
            ASSERT_EQ(::symlink((outside + ".none").c_str(), path.c_str()), 0);
            break;
        case Planted::FullFolder:
            std::filesystem::create_directories(path + "/inside");
            break;
        case Planted::Folder:
            std::filesystem::create_directories(path);
            break;
        case Planted::Fifo:
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
            break;
    }
}

std::vector<PlantedCase> Cases() {
    using P = Planted;
    std::vector<PlantedCase> cases;
    static const char* const kNames[][2] = {
        {"partial", ".df"}, {"record", ".df.meta"}, {"note", ".df.extents"}, {"installer", ""}};
    static std::vector<std::string> names;  // the cases point into it
    names.reserve(32);
    for (const auto& [what, suffix] : kNames)
        for (const auto& [kind, planted, logged] :
             {std::tuple{"a link outside", P::LinkToOutside, "a symbolic link"},
              std::tuple{"a link to nothing", P::LinkToNothing, "a symbolic link"},
              std::tuple{"an empty folder", P::Folder, "a folder"},
              std::tuple{"a FIFO", P::Fifo, "a FIFO"}}) {
            names.push_back(std::string(kind) + " at the " + what);
            cases.push_back({names.back().c_str(), suffix, planted, 1, logged});
        }
    cases.push_back({"a full folder at the partial", ".df", P::FullFolder, 0, "a folder"});
    cases.push_back({"a full folder at the record", ".df.meta", P::FullFolder, 0, "a folder"});
    return cases;
}

class EachPlantedThing : public NetTest, public testing::WithParamInterface<PlantedCase> {};
}  // namespace

TEST_P(EachPlantedThing, IsNeverWrittenThrough) {
    const PlantedCase& c = GetParam();
    const std::string outside = Path("outside.txt"), destination = Path("setup.exe");
    WriteFile(outside, kOutside);
    const std::string planted = destination + c.suffix;
    ASSERT_NO_FATAL_FAILURE(Plant(planted, c.planted, outside));
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile, .etag = "\"v\""});
    });
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), destination), c.result)
        << http.LastError();
    EXPECT_EQ(ReadFile(outside), kOutside);
    EXPECT_TRUE(c.result == 0 || ReadFile(destination) == kFile);
    const std::string log = ReadFile(Path("log"));
    EXPECT_NE(log.find(planted + ": " + c.logged + " stood there"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Names, EachPlantedThing, testing::ValuesIn(Cases()), NameOfCase());
