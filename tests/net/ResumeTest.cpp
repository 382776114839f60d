// Every way a download can be cut short leaves a partial file from which a later call
// finishes the same file.

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "download/WorkerEvents.h"
#include "net/Http.h"
#include "net/Sha256.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kFile = PseudoRandomBytes(400000, 777);

// Raises quit once the server has sent what it will send before stalling (it sends that at
// once, so a moment later the client is waiting for more).
std::thread QuitSoon(std::atomic<int>& quit) {
    return std::thread([&quit] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        quit = 1;
    });
}

// Lets files of this process grow to at most bytes while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

struct Interruption {
    const char* name;
    ServedFile firstServer;
    std::uint64_t keptBytes;  // what the partial file holds afterwards
    bool errorText;           // whether the failure leaves an error text
    // Runs the first call (given a ready CHttp, its arguments and its quit flag).
    std::function<int(CHttp&, const std::string& url, const std::string& destination,
                      std::atomic<int>& quit)>
        run;
};

void PrintTo(const Interruption& cut, std::ostream* os) {
    *os << cut.name;
}

// Both calls fetch the same installer, each from a server of its own.
const DownloadTarget kTarget{"http://installer.example/setup.exe", "", 0};

int Plain(CHttp& http, const std::string& url, const std::string& destination, std::atomic<int>&) {
    return http.DownHttpFile(nullptr, url, destination, kTarget);
}

std::vector<Interruption> Interruptions() {
    return {
        {"connection closed early", {.content = kFile, .closeAfter = 123457}, 123457, false, Plain},
        {"stalled server",
         {.content = kFile, .stallAfter = 50000},
         50000,
         false,
         [](CHttp& http, const std::string& url, const std::string& destination,
            std::atomic<int>&) {
             http.SetTransferLimits({.connectTimeoutSeconds = 60, .stallSeconds = 1});
             return http.DownHttpFile(nullptr, url, destination, kTarget);
         }},
        {"quit mid-transfer",
         {.content = kFile, .stallAfter = 80000},
         80000,
         false,
         [](CHttp& http, const std::string& url, const std::string& destination,
            std::atomic<int>& quit) {
             std::thread raiser = QuitSoon(quit);
             int result = http.DownHttpFile(nullptr, url, destination, kTarget);
             raiser.join();
             quit = 0;
             return result;
         }},
        {"disk full",
         {.content = kFile},
         10000,
         true,
         [](CHttp& http, const std::string& url, const std::string& destination,
            std::atomic<int>&) {
             FileSizeLimit limit(10000);
             return http.DownHttpFile(nullptr, url, destination, kTarget);
         }},
    };
}

class Resume : public NetTest {};

// Each way of cutting the first call short, with a second server that honours Range or not.
class EveryInterruption : public NetTest,
                          public testing::WithParamInterface<std::tuple<Interruption, bool>> {};
}  // namespace

TEST_P(EveryInterruption, IsFinishedByTheNextCall) {
    const auto& [cut, resumeServerHonoursRange] = GetParam();
    const std::string destination = Path("setup.exe");
    {
        LocalHttpServer first([&](LocalHttpServer& owner, httplib::Server& s) {
            ServeFile(owner, s, "/f", cut.firstServer);
        });
        CHttp http = NewHttp();
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(cut.run(http, first.Url("/f"), destination, m_quit), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_EQ(http.LastError().empty(), !cut.errorText) << http.LastError();
        EXPECT_FALSE(FileExists(destination));
        EXPECT_TRUE(ReadFile(destination + ".df") == kFile.substr(0, cut.keptBytes));
    }
    LocalHttpServer second([&](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile, .honourRange = resumeServerHonoursRange});
    });
    EventRecorder events;
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(&events.Sink(), second.Url("/f"), destination,
                                DownloadTarget{kTarget.mainUrl, DigestOf(kFile), 0}),
              1);
    // No validator from these servers: the last 64 KiB on disk are asked for again.
    const std::uint64_t overlapStart =
        cut.keptBytes - std::min<std::uint64_t>(cut.keptBytes, 65536);
    EXPECT_EQ(second.Ranges(),
              std::vector<std::string>{"bytes=" + std::to_string(overlapStart) + "-"});
    EXPECT_EQ(Sha256OfFile(destination), DigestOf(kFile));
    EXPECT_FALSE(FileExists(destination + ".df"));
    EXPECT_EQ(events.Of<UpdateFileSize>().at(0).totalBytes, kFile.size());
}

INSTANTIATE_TEST_SUITE_P(Cuts, EveryInterruption,
                         testing::Combine(testing::ValuesIn(Interruptions()), testing::Bool()),
                         [](const testing::TestParamInfo<EveryInterruption::ParamType>& info) {
                             return CaseName(std::string(std::get<0>(info.param).name) +
                                             (std::get<1>(info.param) ? "" : " range ignored"));
                         });

TEST_F(Resume, AnErrorAnswerLeavesThePartialAsItWas) {
    TempDir dir;
    const std::string destination = dir / "setup.exe";
    WriteFile(destination + ".df", kFile.substr(0, 5000));
    {
        LocalHttpServer broken([](LocalHttpServer&, httplib::Server& s) {
            ServeFixed(s, "/f", 500, std::string(9000, 'E'));
        });
        CHttp http = NewHttp();
        EXPECT_EQ(http.DownHttpFile(nullptr, broken.Url("/f"), destination), 0);
    }
    EXPECT_TRUE(ReadFile(destination + ".df") == kFile.substr(0, 5000));
    LocalHttpServer good([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile});
    });
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(nullptr, good.Url("/f"), destination), 1);
    EXPECT_EQ(Sha256OfFile(destination), DigestOf(kFile));
}

TEST_F(Resume, APartThatStopsShortOfTheWholeFileIsNoCompletion) {
    TempDir dir;
    const std::string destination = dir / "setup.exe";
    WriteFile(destination + ".df", kFile.substr(0, 5000));
    LocalHttpServer shortPart([](LocalHttpServer&, httplib::Server& s) {
        ServeFixed(s, "/f", 206, kFile.substr(5000, 1000),
                   {{"Content-Range", "bytes 5000-5999/" + std::to_string(kFile.size())},
                    {"ETag", "\"v1\""}});
    });
    // A partial whose server vouched for it: resumed at its end.
    ResumeRecord record = ResumeRecord::For({shortPart.Url("/f"), "", 0});
    record.synced = 5000;
    record.validators["127.0.0.1:" + std::to_string(shortPart.Port())] = "etag \"v1\"";
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(destination + ".df"), record).Ok());
    EventRecorder events;
    CHttp http = NewHttp();
    EXPECT_EQ(http.DownHttpFile(&events.Sink(), shortPart.Url("/f"), destination), 0);
    EXPECT_FALSE(FileExists(destination));
    EXPECT_TRUE(ReadFile(destination + ".df") == kFile.substr(0, 6000));
    EXPECT_EQ(events.Of<UpdateFileSize>().at(0).totalBytes, kFile.size());
}

TEST_F(Resume, ASecondTransferOfTheSameDestinationIsKeptOut) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile, .stallAfter = 10000});
    });
    const std::string destination = Path("setup.exe");
    std::atomic<int> firstResult{-1};
    EventRecorder firstEvents;
    std::thread first([&] {
        CHttp http = NewHttp();
        firstResult = http.DownHttpFile(&firstEvents.Sink(), server.Url("/f"), destination);
    });
    // The first one holds the partial file before it sends its request.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (server.RequestCount() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    EventRecorder events;
    CHttp second = NewHttp();
    EXPECT_EQ(second.DownHttpFile(&events.Sink(), server.Url("/f"), destination), 0);
    EXPECT_EQ(second.LastError(),
              "写文件" + destination + "错误！\n文件正在使用中，请先关闭程序！");
    EXPECT_TRUE(events.Pump().empty());
    EXPECT_EQ(server.RequestCount(), 1u);  // the second one sent nothing

    // The first one stops once it has what the server sends before stalling.
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        firstEvents.Pump();
        const auto progress = firstEvents.Of<UpdateProgress>();
        if (!progress.empty() && progress.back().bytesDone == 10000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_quit = 1;
    first.join();
    EXPECT_EQ(firstResult, 0);
    EXPECT_TRUE(ReadFile(destination + ".df") == kFile.substr(0, 10000));
}
