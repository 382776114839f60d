// CHttp::DownHttpFile against scripted local servers: what each answer leaves on disk, which
// events reach the window and which error text is left.

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "download/WorkerEvents.h"
#include "net/Http.h"
#include "net/Sha256.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/LocalHttpServer.h"

namespace {
using Routes = std::function<void(LocalHttpServer&, httplib::Server&)>;

const std::string kFile = PseudoRandomBytes(300000);
const std::string kFileLength = std::to_string(kFile.size());
constexpr char kFileInUse[] = "错误！\n文件正在使用中，请先关闭程序！";

struct DownloadCase {
    const char* name;
    Routes routes;
    std::optional<std::string> partialBefore;  // the partial file before the call, if any
    int result;
    std::optional<std::string> destinationAfter;  // nothing: no destination file
    std::optional<std::string> partialAfter;      // nothing: no partial file
    std::vector<std::string> ranges;              // the Range header of each request
    const char* errorContains;                    // "" for no error text
};

Routes FileRoute(ServedFile file) {
    return [file](LocalHttpServer& owner, httplib::Server& s) { ServeFile(owner, s, "/f", file); };
}
Routes FixedRoute(int status, std::string body, httplib::Headers headers = {}) {
    return
        [=](LocalHttpServer&, httplib::Server& s) { ServeFixed(s, "/f", status, body, headers); };
}

const std::string kHead = kFile.substr(0, 1000);
const std::string kWrongHead(1000, '?');

std::vector<DownloadCase> Cases() {
    return {
        {"fresh",
         FileRoute({.content = kFile}),
         std::nullopt,
         1,
         kFile,
         std::nullopt,
         {"bytes=0-"},
         ""},
        {"resumed", FileRoute({.content = kFile}), kHead, 1, kFile, std::nullopt, {"bytes=0-"}, ""},
        {"range ignored: the partial starts again",
         FileRoute({.content = kFile, .honourRange = false}),
         kWrongHead,
         1,
         kFile,
         std::nullopt,
         {"bytes=0-"},
         ""},
        {"206 from byte 0 to a resume",
         FixedRoute(206, kFile, {{"Content-Range", "bytes 0-299999/300000"}}),
         kWrongHead,
         1,
         kFile,
         std::nullopt,
         {"bytes=0-"},
         ""},
        {"206 from elsewhere is refused",
         FixedRoute(206, kFile.substr(500), {{"Content-Range", "bytes 500-299999/300000"}}),
         kHead,
         0,
         std::nullopt,
         kHead,
         {"bytes=0-"},
         "server answered 206"},
        {"416 for a partial already whole",
         FileRoute({.content = kFile}),
         kFile,
         1,
         kFile,
         std::nullopt,
         {"bytes=234464-"},  // the last 64 KiB, compared with the disk
         ""},
        {"416 of another length: asked again from the start",
         FixedRoute(416, "", {{"Content-Range", "bytes */5"}}),
         kHead,
         0,
         std::nullopt,
         kHead,
         {"bytes=0-", "bytes=0-"},
         "server answered 416"},
        {"404 leaves an empty partial",
         FixedRoute(404, "no such file"),
         std::nullopt,
         0,
         std::nullopt,
         "",
         {"bytes=0-"},
         ":file not exist！"},
        {"403 body never reaches the partial",
         FixedRoute(403, "forbidden page"),
         kHead,
         0,
         std::nullopt,
         kHead,
         {"bytes=0-"},
         "server answered 403"},
        {"500 body never reaches the partial",
         FixedRoute(500, "error page"),
         std::nullopt,
         0,
         std::nullopt,
         "",
         {"bytes=0-"},
         "server answered 500"},
        {"closed early keeps what arrived",
         FileRoute({.content = kFile, .closeAfter = 100000}),
         std::nullopt,
         0,
         std::nullopt,
         kFile.substr(0, 100000),
         {"bytes=0-"},
         ""},
        {"no length: complete when the body ends",
         FileRoute({.content = kFile, .chunked = true}),
         std::nullopt,
         1,
         kFile,
         std::nullopt,
         {"bytes=0-"},
         ""},
        {"no length, cut short",
         FileRoute({.content = kFile, .closeAfter = 70000, .chunked = true}),
         std::nullopt,
         0,
         std::nullopt,
         kFile.substr(0, 70000),
         {"bytes=0-"},
         ""},
        {"redirect",
         [](LocalHttpServer& owner, httplib::Server& s) {
             ServeFixed(s, "/f", 302, "moved", {{"Location", "/real"}});
             ServeFile(owner, s, "/real", {.content = kFile});
         },
         kHead,
         1,
         kFile,
         std::nullopt,
         {"bytes=0-", "bytes=0-"},
         ""},
    };
}

void PrintTo(const DownloadCase& c, std::ostream* os) {
    *os << c.name;
}

class DownHttpFile : public NetTest {};
class EachAnswer : public NetTest, public testing::WithParamInterface<DownloadCase> {};
}  // namespace

TEST_P(EachAnswer, LeavesOnDiskWhatItMeans) {
    const DownloadCase& c = GetParam();
    {
        const std::string destination = Path("setup.exe"), partial = destination + ".df";
        if (c.partialBefore) WriteFile(partial, *c.partialBefore);
        LocalHttpServer server(c.routes);
        EventRecorder events;
        CHttp http = NewHttp();
        EXPECT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), destination), c.result);
        EXPECT_EQ(FileExists(destination), c.destinationAfter.has_value());
        if (c.destinationAfter) {
            EXPECT_TRUE(ReadFile(destination) == *c.destinationAfter);
        }
        EXPECT_EQ(FileExists(partial), c.partialAfter.has_value());
        if (c.partialAfter) {
            EXPECT_TRUE(ReadFile(partial) == *c.partialAfter);
        }
        EXPECT_EQ(server.Ranges(), c.ranges);
        if (*c.errorContains)
            EXPECT_NE(http.LastError().find(c.errorContains), std::string::npos)
                << http.LastError();
        else
            EXPECT_EQ(http.LastError(), "");
        // Completion is announced exactly when the file is in place.
        auto completions = events.Of<UpdateProgress>();
        bool announced = !completions.empty() && completions.back() == UpdateProgress{0, 100};
        EXPECT_EQ(announced, c.result == 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, EachAnswer, testing::ValuesIn(Cases()), NameOfCase());

TEST_F(DownHttpFile, PostsSizeThenProgressPerBlockThenCompletion) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    WriteFile(Path("setup.exe.df"), kHead);
    EventRecorder events;
    CHttp http = NewHttp();
    ASSERT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), Path("setup.exe")), 1);
    auto all = events.Pump();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all.front(), WorkerEvent(UpdateFileSize{300000}));
    EXPECT_EQ(all.back(), WorkerEvent(UpdateProgress{0, 100}));
    std::uint64_t done = 1000;
    for (std::size_t i = 1; i + 1 < all.size(); ++i) {
        const auto* progress = std::get_if<UpdateProgress>(&all[i]);
        ASSERT_NE(progress, nullptr) << i;  // a fast transfer reports no speed
        EXPECT_GT(progress->bytesDone, done);
        EXPECT_LE(progress->bytesDone - done, 4096u);  // one event per block of at most 4096 bytes
        EXPECT_EQ(progress->percent, static_cast<std::int32_t>(progress->bytesDone * 100 / 300000));
        done = progress->bytesDone;
    }
    EXPECT_GT(done + 4096, 300000u);  // the last block, at 100 %, is announced by completion
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Header("Accept"), "*/*");
    EXPECT_EQ(seen[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
    EXPECT_EQ(seen[0].range, "bytes=0-");  // a partial without a record is compared first
}

TEST_F(DownHttpFile, RefusesOtherSchemesWithoutTouchingAnything) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
    for (const std::string& url :
         {"gopher://" + hostPort + "/f", "ftp://" + hostPort + "/f", std::string("garbage")}) {
        EventRecorder events;
        CHttp http = NewHttp();
        EXPECT_EQ(http.DownHttpFile(&events.Sink(), url, Path("setup.exe")), 0);
        EXPECT_EQ(http.LastError(), "下载链接有错！");
        EXPECT_TRUE(events.Pump().empty());
    }
    EXPECT_FALSE(FileExists(Path("setup.exe.df")));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(DownHttpFile, AFailureTextLastsOnlyUntilTheNextOperation) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(nullptr, "garbage", Path("setup.exe")), 0);
    EXPECT_EQ(http.LastError(), "下载链接有错！");
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), Path("setup.exe")), 1);
    EXPECT_EQ(http.LastError(), "");
}

TEST_F(DownHttpFile, A404IsLoggedWithTheUrlTakenLiterally) {
    LocalHttpServer server(FixedRoute(404, ""));
    const std::string url = server.Url("/f?name=%s%d%n");
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(nullptr, url, Path("setup.exe")), 0);
    std::string log = ReadFile(Path("log"));
    EXPECT_NE(log.find(url + ":file not exist！"), std::string::npos) << log;
    EXPECT_NE(log.find("CHttp::DownHttpFile"), std::string::npos);
}

TEST_F(DownHttpFile, ChecksTheDigestBeforeMovingIntoPlace) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    const std::string digest = DigestOf(kFile);
    {
        WriteFile(Path("good.exe.df"), kHead);  // the digest covers the bytes already there
        CHttp http = NewHttp();
        EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), Path("good.exe"), digest), 1);
        EXPECT_EQ(Sha256OfFile(Path("good.exe")), digest);
    }
    {
        // Wrong bytes that the check of the last bytes on disk cannot see: only the digest can.
        WriteFile(Path("bad.exe.df"), kWrongHead + kFile.substr(1000, 149000));
        EventRecorder events;
        CHttp http = NewHttp();
        EXPECT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), Path("bad.exe"), digest), 0);
        EXPECT_FALSE(FileExists(Path("bad.exe")));
        EXPECT_FALSE(FileExists(Path("bad.exe.df")));  // bad bytes are not resumed
        EXPECT_NE(http.LastError().find("sha256 mismatch"), std::string::npos);
        EXPECT_TRUE(events.Of<UpdateProgress>().empty() ||
                    events.Of<UpdateProgress>().back().percent != 100);
    }
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), Path("odd.exe"), "not-a-digest"), 0);
    EXPECT_FALSE(FileExists(Path("odd.exe.df")));
}

TEST_F(DownHttpFile, AFailedMoveIsNoCompletion) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    const std::string destination = Path("setup.exe");
    std::filesystem::create_directories(destination + "/inside");  // cannot be replaced
    EventRecorder events;
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), destination), 0);
    EXPECT_EQ(ReadFile(destination + ".df"), kFile);
    EXPECT_NE(http.LastError().find(kFileInUse), std::string::npos);
    for (const auto& event : events.Of<UpdateProgress>()) EXPECT_LT(event.percent, 100);
}

TEST_F(DownHttpFile, SizesBeyond32BitsAreCarriedWhole) {
    // A sparse partial of 4 GiB + 5 bytes that the server declares whole.
    constexpr std::uint64_t kSize = (std::uint64_t{1} << 32) + 5;
    const std::string partial = Path("big.exe.df");
    WriteFile(partial, "");
    ASSERT_EQ(::truncate(partial.c_str(), static_cast<off_t>(kSize)), 0);
    // The server holds the same zeros: it sends the last 64 KiB for the comparison, and the
    // file turns out complete.
    constexpr std::uint64_t kTail = 65536;
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) {
        s.Get("/f", [](const httplib::Request&, httplib::Response& res) {
            res.status = 206;
            res.set_header("Content-Range", "bytes " + std::to_string(kSize - kTail) + "-" +
                                                std::to_string(kSize - 1) + "/" +
                                                std::to_string(kSize));
            res.set_content(std::string(kTail, '\0'), "application/octet-stream");
        });
    });
    EventRecorder events;
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), Path("big.exe")), 1);
    EXPECT_EQ(http.TotalSize(), kSize);
    EXPECT_EQ(std::filesystem::file_size(Path("big.exe")), kSize);
    EXPECT_EQ(events.Pump(),
              (std::vector<WorkerEvent>{UpdateFileSize{kSize}, UpdateProgress{0, 100}}));
    EXPECT_EQ(server.Ranges(), std::vector<std::string>{"bytes=4294901765-"});
}

TEST_F(DownHttpFile, ASlowTransferReportsItsAverageSpeedAfterASecond) {
    // 16 pieces of 16 KiB, a quarter second apart: about 4 s.
    LocalHttpServer server(FileRoute({.content = kFile.substr(0, 16 * 16384),
                                      .pieceBytes = 16384,
                                      .pauseBetweenPieces = std::chrono::milliseconds(250)}));
    EventRecorder events;
    CHttp http = NewHttp();
    ASSERT_EQ(http.DownHttpFile(&events.Sink(), server.Url("/f"), Path("slow.exe")), 1);
    auto all = events.Pump();
    auto speeds = events.Of<UpdateSpeed>();
    ASSERT_FALSE(speeds.empty());
    for (const auto& speed : speeds) {
        // Averages over the whole call (about 64 KiB/s), never over one fast block.
        EXPECT_GE(speed.kibPerSecond, 20);
        EXPECT_LE(speed.kibPerSecond, 128);
    }
    // One speed event per block at most, and none for the first block, which comes at once.
    EXPECT_LE(speeds.size(), events.Of<UpdateProgress>().size() + 1);
    EXPECT_TRUE(std::holds_alternative<UpdateProgress>(all.at(1)));
}

namespace {
// The transport's own reports, without any window: what a download tells whoever started it.
struct ReportList final : ITransferSink {
    void OnTotalSize(std::uint64_t total) override { reports.push_back("total " + N(total)); }
    void OnBlockWritten(std::uint64_t present, std::uint64_t total) override {
        if (present > lastPresent + 4096 || present <= lastPresent || total != 300000)
            reports.push_back("bad block " + N(present) + " of " + N(total));
        lastPresent = present;
    }
    void OnAverageSpeed(std::int32_t) override {}
    void OnComplete() override { reports.push_back("complete at " + N(lastPresent)); }
    void OnRetryWait(std::chrono::milliseconds, int, int) override {}
    static std::string N(std::uint64_t n) { return std::to_string(n); }

    std::uint64_t lastPresent = 1000;
    std::vector<std::string> reports;
};
}  // namespace

TEST_F(DownHttpFile, ReportsIntoASinkOfItsCaller) {
    LocalHttpServer server(FileRoute({.content = kFile}));
    WriteFile(Path("setup.exe.df"), kHead);
    ReportList sink;
    CHttp http = NewHttp();
    ASSERT_EQ(http.DownHttpFile(&sink, server.Url("/f"), Path("setup.exe")), 1);
    EXPECT_EQ(sink.reports, (std::vector<std::string>{"total 300000", "complete at 300000"}));
}
