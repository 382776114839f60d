// Whole worker runs against local servers: each outcome's exact events, files and requests.

#include "download/DownloadThread.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ResString.h"
#include "base/StringTable.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/Bytes.h"
#include "tests/support/CaseName.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAppState.h"

namespace {
constexpr char kUpdatePath[] = "/tools/updateinfo.php";
constexpr char kInstallerPath[] = "/files/setup.exe";
constexpr char kDefaultInstallerPath[] = "/tools/myvelmora_setup.exe";
constexpr std::size_t kSize = 20000;

struct Reply {
    int status;
    std::string body;
};

std::string Failure(int text = IDS_TRANSFER_FAILED) {
    return "downfail " + LoadResString(text);
}

// The requests a server saw for path, whatever their query.
std::vector<SeenRequest> RequestsTo(const LocalHttpServer& server, const std::string& path) {
    std::vector<SeenRequest> matching;
    for (SeenRequest& seen : server.Requests())
        if (seen.path.substr(0, seen.path.find('?')) == path) matching.push_back(std::move(seen));
    return matching;
}

// The events that decide an outcome. Progress below 100 and speed depend on how the bytes
// arrive, so they are left out, after checking that progress only grows and stays below 100.
std::vector<std::string> Milestones(const std::vector<std::string>& events) {
    std::vector<std::string> kept;
    unsigned lastDone = 0;
    for (const std::string& event : events) {
        unsigned done = 0;
        int percent = 0;
        if (std::sscanf(event.c_str(), "progress %u %d", &done, &percent) == 2 && percent < 100) {
            EXPECT_GE(done, lastDone) << event;
            EXPECT_GE(percent, 0) << event;
            lastDone = done;
            continue;
        }
        if (event.rfind("speed ", 0) == 0) continue;
        kept.push_back(event);
    }
    return kept;
}

// The maker's two services: the web server holds the installer (at its own address and at the
// default address); the update service answers with replies in order, the last one repeating.
class DownloadThreadRun : public testing::Test {
  protected:
    void SetUp() override {
        m_app.params.Set("Version", "velmora");
        m_app.params.Set("Channel", "general");
        m_app.params.Set("AppTmpPath", m_tmp.Path() + "/");
        m_app.params.Set("Log", m_tmp / "log.txt");
        ServeInstaller(ServedFile{.content = m_installer});
    }

    // The web server comes back on its port: the installer keeps its address.
    void ServeInstaller(ServedFile file) {
        const int port = m_web ? m_web->Port() : 0;
        m_web.reset();
        m_web = std::make_unique<LocalHttpServer>(
            [&](LocalHttpServer& owner, httplib::Server& s) {
                ServeFile(owner, s, kInstallerPath, file);
                ServeFile(owner, s, kDefaultInstallerPath, file);
            },
            port);
    }
    void ServeMissingInstaller() {
        m_web = std::make_unique<LocalHttpServer>(
            [](LocalHttpServer&, httplib::Server& s) { ServeFixed(s, kInstallerPath, 404, ""); });
    }
    void ServeReplies(std::vector<Reply> replies) {
        auto next = std::make_shared<std::atomic<std::size_t>>(0);
        m_update = std::make_unique<LocalHttpServer>([&](LocalHttpServer&, httplib::Server& s) {
            s.Get(kUpdatePath, [replies, next](const httplib::Request&, httplib::Response& res) {
                const Reply& reply = replies[std::min(next->fetch_add(1), replies.size() - 1)];
                res.status = reply.status;
                res.set_content(reply.body, "application/json");
            });
        });
    }
    void ServeReply(const std::string& body) { ServeReplies({{200, body}}); }

    unsigned Run(CRecordingHost& host) {
        const UpdateEndpoints endpoints{"127.0.0.1:" + std::to_string(m_update->Port()),
                                        m_web->Url(kDefaultInstallerPath)};
        return DownloadThread(&host, WorkerEnvironment{.app = m_app.State(),
                                                       .endpoints = endpoints,
                                                       .retry = m_retry,
                                                       .ranges = m_ranges});
    }

    std::string ReplyFor(const std::string& version, const std::string& sha256 = {}) const {
        std::string reply =
            R"({"version":")" + version + R"(","url":")" + m_web->Url(kInstallerPath) + "\"";
        if (!sha256.empty()) reply += R"(,"sha256":")" + sha256 + "\"";
        return reply + R"(,"detail":"http://details"})";
    }
    // The reply as the page receives it: members by name, one line.
    std::string DetailFor(const std::string& version, const std::string& sha256 = {}) const {
        std::string detail = R"(detail {"detail":"http://details")";
        if (!sha256.empty()) detail += R"(,"sha256":")" + sha256 + "\"";
        return detail + R"(,"url":")" + m_web->Url(kInstallerPath) + R"(","version":")" + version +
               "\"}\n";
    }

    // "AppTmpPath" ends in a separator and the file name starts with one.
    std::string InstallerPath(const std::string& version = "2.0") const {
        return m_tmp.Path() + "//myvelmora_setup" + version + ".exe";
    }
    std::string DefaultPath() const { return m_tmp.Path() + "//myvelmora_setup.exe"; }
    static std::string Size() { return "size " + std::to_string(kSize); }
    static std::vector<std::string> Downloaded(const std::string& detail) {
        return {detail, Size(), "progress 0 100"};
    }

    TempDir m_tmp;
    TestAppState m_app;
    // Pauses of 10, 20, 40, 80 and 160 ms instead of seconds.
    RetrySettings m_retry{.firstDelay = std::chrono::milliseconds(10)};
    RangeSettings m_ranges;
    const std::string m_installer = PseudoRandomBytes(kSize);
    const std::string m_digest = DigestOf(m_installer);
    std::unique_ptr<LocalHttpServer> m_web;
    std::unique_ptr<LocalHttpServer> m_update;
};

TEST_F(DownloadThreadRun, WithoutAHostNothingHappens) {
    ServeReply(ReplyFor("2.0"));
    EXPECT_EQ(DownloadThread(nullptr, WorkerEnvironment{m_app.State(), {}}), 0u);
    EXPECT_EQ(m_update->RequestCount(), 0u);
}

TEST_F(DownloadThreadRun, OfflineShowsOneBoxThenTheFailureViewAndAsksNothing) {
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host(m_app.params, /*online=*/false);
    EXPECT_EQ(Run(host), 0u);
    const std::string text = LoadResString(107);
    ASSERT_EQ(text, "网络连接失败！请检查您的网络配置后重试！");
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"box 0x10030 提示: " + text, "downfail " + text}));
    EXPECT_EQ(m_update->RequestCount(), 0u);
    EXPECT_EQ(m_web->RequestCount(), 0u);
    EXPECT_EQ(m_app.params.Get("AppPath"), "");
}

TEST_F(DownloadThreadRun, FreshDownloadEndsWithTheVerifiedFileInPlace) {
    ServeReply(ReplyFor("2.0", m_digest));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(Milestones(host.Events()), Downloaded(DetailFor("2.0", m_digest)));
    EXPECT_EQ(m_app.params.Get("AppPath"), InstallerPath());
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));
    // The window saw the final path with every event.
    for (const std::string& seen : host.AppPathsSeen()) EXPECT_EQ(seen, InstallerPath());

    EXPECT_EQ(m_update->RequestCount(), 1u);
    EXPECT_EQ(m_web->Ranges(), std::vector<std::string>{"bytes=0-"});
}

TEST_F(DownloadThreadRun, RequestCarriesProductKeyAndChannelUnescaped) {
    ServeReply("null");
    {
        CRecordingHost host{m_app.params};
        Run(host);
    }
    // An ampersand in the channel starts another query argument at the service.
    m_app.params.Set("Channel", "gen&x=1");
    {
        CRecordingHost host{m_app.params};
        Run(host);
    }
    const auto asked = RequestsTo(*m_update, kUpdatePath);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].path,
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=general");
    EXPECT_EQ(asked[1].path,
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=gen&x=1");
}

TEST_F(DownloadThreadRun, ChannelWithASpaceIsAskedFor) {
    // The address is built unchanged; the space travels escaped, as any HTTP client sends it.
    ServeReply(ReplyFor("2.0"));
    m_app.params.Set("Channel", "gen eral");
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    const auto asked = RequestsTo(*m_update, kUpdatePath);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path,
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=gen+eral");
    EXPECT_TRUE(FileExists(InstallerPath()));
}

TEST_F(DownloadThreadRun, CompleteCopyIsAnnouncedAloneWithItsSize) {
    ServeReply(ReplyFor("2.0"));
    WriteFile(InstallerPath(), m_installer);
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(host.Events(), (std::vector<std::string>{"progress 20000 100"}));
    EXPECT_EQ(host.AppPathsSeen(), (std::vector<std::string>{InstallerPath()}));
    // One request for its last 64 KiB (here all of it) to compare; no partial file.
    EXPECT_EQ(m_web->Ranges(), std::vector<std::string>{"bytes=0-"});
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));
}

TEST_F(DownloadThreadRun, CopyOneByteShortIsDownloadedAgain) {
    ServeReply(ReplyFor("2.0"));
    WriteFile(InstallerPath(), m_installer.substr(0, kSize - 1));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(Milestones(host.Events()), Downloaded(DetailFor("2.0")));
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    EXPECT_EQ(m_web->RequestCount(), 2u);  // the size query, then the transfer
}

TEST_F(DownloadThreadRun, EmptyFileIsNeverACompleteCopy) {
    // The server cannot tell the size (404): an empty file would otherwise count as complete.
    ServeMissingInstaller();
    ServeReply(ReplyFor("2.0"));
    WriteFile(InstallerPath(), "");
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{DetailFor("2.0"), Failure(IDS_INSTALLER_NOT_FOUND)}));
}

TEST_F(DownloadThreadRun, EmptyFirstReplyIsAskedAgain) {
    for (int status : {200, 500}) {
        SCOPED_TRACE(status);
        ServeReplies({{status, ""}, {200, ReplyFor("2.0")}});
        std::filesystem::remove(InstallerPath());
        CRecordingHost host{m_app.params};
        EXPECT_EQ(Run(host), 1u);
        EXPECT_EQ(Milestones(host.Events()), Downloaded(DetailFor("2.0")));
        EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
        EXPECT_EQ(m_update->RequestCount(), 2u);
    }
}

TEST_F(DownloadThreadRun, TwoEmptyRepliesFallBackToTheDefaultInstaller) {
    ServeReplies({{200, ""}});
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(m_update->RequestCount(), 2u);
    EXPECT_EQ(Milestones(host.Events()), Downloaded("detail null\n"));
    EXPECT_EQ(m_app.params.Get("AppPath"), DefaultPath());
    EXPECT_EQ(ReadFile(DefaultPath()), m_installer);
    EXPECT_EQ(RequestsTo(*m_web, kDefaultInstallerPath).size(), 1u);
}

TEST_F(DownloadThreadRun, FailedTransferIsShownAndRetryResumesFromThePartialFile) {
    // 8192 bytes, then the file is gone (404): nothing to try again.
    ServeInstaller(ServedFile{
        .content = m_installer, .closeAfter = 8192, .etag = "\"v1\"", .laterStatus = 404});
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    // The cut is tried again once; the 404 then ends the run.
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0"), Size(),
                                        "retry 连接中断，1 秒后重试（第 1/5 次）",
                                        Failure(IDS_INSTALLER_NOT_FOUND)}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    const std::string partial = ReadFile(InstallerPath() + ".df");
    ASSERT_FALSE(partial.empty());
    EXPECT_EQ(partial, m_installer.substr(0, partial.size()));

    // Retry: a fresh run on the same window, the file back, the same copy as before.
    ServeInstaller(ServedFile{.content = m_installer, .etag = "\"v1\""});
    ServeReply(ReplyFor("2.0"));
    CRecordingHost retried{m_app.params};
    EXPECT_EQ(Run(retried), 1u);
    EXPECT_EQ(Milestones(retried.Events()), Downloaded(DetailFor("2.0")));
    EXPECT_EQ(m_web->Ranges(), std::vector<std::string>{"bytes=8192-"});
    EXPECT_EQ(m_web->Requests().at(0).Header("If-Range"), "\"v1\"");
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, QuitDuringTheTransferShowsNoFailure) {
    ServeInstaller(ServedFile{.content = m_installer, .stallAfter = 4096});
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host{m_app.params};
    // The window sets the quit flag when it closes; here it closes on the first progress.
    host.OnEvent([this](const std::string& event) {
        if (event.rfind("progress ", 0) == 0) m_app.quit = 1;
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(host), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));

    const std::vector<std::string> events = host.Events();
    ASSERT_GE(events.size(), 3u);  // the transfer had begun
    EXPECT_EQ(Milestones(events), (std::vector<std::string>{DetailFor("2.0"), Size()}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    EXPECT_TRUE(FileExists(InstallerPath() + ".df"));
}

TEST_F(DownloadThreadRun, VersionCannotPlaceTheFileOutsideTheTemporaryFolder) {
    const std::string inner = m_tmp / "inner";
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    m_app.params.Set("AppTmpPath", inner + "/");
    for (const std::string version : {"/../../escape", "/../escape/..", "x\\n/../y"}) {
        SCOPED_TRACE(version);
        std::filesystem::remove(inner + "//myvelmora_setup.exe");
        ServeReply(ReplyFor(version));
        CRecordingHost host{m_app.params};
        EXPECT_EQ(Run(host), 1u);
        EXPECT_EQ(m_app.params.Get("AppPath"), inner + "//myvelmora_setup.exe");
        EXPECT_EQ(ReadFile(inner + "//myvelmora_setup.exe"), m_installer);
        // The page still gets the version as the service gave it.
        const auto events = host.Events();
        ASSERT_FALSE(events.empty());
        EXPECT_NE(events[0].find("\"version\":"), std::string::npos);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_tmp.Path()))
        EXPECT_EQ(entry.path().string().rfind(inner, 0), 0u) << entry.path();
}

TEST_F(DownloadThreadRun, DigestMismatchIsShownAndNothingIsPlaced) {
    const std::string otherDigest = DigestOf("another installer");
    ServeReply(ReplyFor("2.0", otherDigest));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0", otherDigest), Size(), Failure()}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));  // the bad bytes are gone
}

TEST_F(DownloadThreadRun, WrongExistingCopyIsReplacedByAVerifiedDownload) {
    ServeReply(ReplyFor("2.0", m_digest));
    std::string wrong = m_installer;
    wrong[kSize / 2] ^= 0x5A;
    WriteFile(InstallerPath(), wrong);
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()), Downloaded(DetailFor("2.0", m_digest)));
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, MatchingExistingCopyIsComplete) {
    ServeReply(ReplyFor("2.0", m_digest));
    WriteFile(InstallerPath(), m_installer);
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(), (std::vector<std::string>{"progress 20000 100"}));
}

TEST_F(DownloadThreadRun, ReplyWithoutUrlFailsTheTransferAtOnce) {
    ServeReply(R"({"version":"2.0"})");
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"detail {\"version\":\"2.0\"}\n", Failure()}));
    EXPECT_EQ(m_app.params.Get("AppPath"), InstallerPath());
    EXPECT_EQ(m_web->RequestCount(), 0u);
}

TEST_F(DownloadThreadRun, NullReplyParsesWithoutAnAddress) {
    ServeReply("null");
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(), (std::vector<std::string>{"detail null\n", Failure()}));
    EXPECT_EQ(m_app.params.Get("AppPath"), DefaultPath());
    EXPECT_EQ(m_update->RequestCount(), 1u);
}

TEST_F(DownloadThreadRun, UnreadableMembersFallBackToTheDefaultInstaller) {
    const std::string url = m_web->Url(kInstallerPath);
    const std::string replies[] = {
        R"({"url":")" + url + R"(","version":2.0})",
        R"({"url":[")" + url + R"("],"version":"2.0"})",
        R"([{"url":")" + url + R"("}])",
    };
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply);
        std::filesystem::remove(DefaultPath());
        ServeReply(reply);
        CRecordingHost host{m_app.params};
        EXPECT_EQ(Run(host), 1u);
        const auto events = Milestones(host.Events());
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[2], "progress 0 100");
        EXPECT_EQ(m_app.params.Get("AppPath"), DefaultPath());
        EXPECT_EQ(ReadFile(DefaultPath()), m_installer);
    }
    EXPECT_EQ(RequestsTo(*m_web, kDefaultInstallerPath).size(), 3u);
    EXPECT_TRUE(RequestsTo(*m_web, kInstallerPath).empty());
}

// What a bad network does to one run, and what the run makes of it: the file in one go, or
// the failure view only once the tries are spent.
struct FlakyCase {
    const char* name;
    ServedFile served;
    std::vector<std::string> retries;  // the page's retry lines, in order
    bool done;
    std::size_t requests;
    std::chrono::milliseconds budget{5 * 60 * 1000};
};

std::string RetryLine(int seconds, int n) {
    return "retry 连接中断，" + std::to_string(seconds) + " 秒后重试（第 " + std::to_string(n) +
           "/5 次）";
}

std::vector<FlakyCase> FlakyCases() {
    const std::string installer = PseudoRandomBytes(kSize);
    return {
        {"drops every 6000 bytes: finished without a click",
         {.content = installer, .closeAfter = 6000, .etag = "\"v\""},
         {RetryLine(1, 1), RetryLine(1, 1), RetryLine(1, 1)},
         true,
         4},
        {"503 with Retry-After: 2, then the file",
         {.content = installer, .firstStatus = 503, .retryAfter = 2},
         {RetryLine(2, 1)},
         true,
         2},
        {"always 503: the failure view after five tries",
         {.content = installer, .closeAfter = 0, .laterStatus = 503},
         {RetryLine(1, 1), RetryLine(1, 2), RetryLine(1, 3), RetryLine(1, 4), RetryLine(1, 5)},
         false,
         6},
        {"each try gains bytes slower than the budget: never given up",
         {.content = installer,
          .closeAfter = 6000,
          .pieceBytes = 1000,
          .pauseBetweenPieces = std::chrono::milliseconds(40),
          .etag = "\"v\""},
         {RetryLine(1, 1), RetryLine(1, 1), RetryLine(1, 1)},
         true,
         4,
         std::chrono::milliseconds(100)},
        {"403 is not tried again",
         {.content = installer, .closeAfter = 0, .laterStatus = 403},
         {RetryLine(1, 1)},
         false,
         2},
    };
}

class FlakyNetwork : public DownloadThreadRun, public testing::WithParamInterface<FlakyCase> {};

TEST_P(FlakyNetwork, RetriesOnlyWhatCanGetBetter) {
    const FlakyCase& c = GetParam();
    m_retry.budget = c.budget;
    ServeInstaller(c.served);
    ServeReply(ReplyFor("2.0", m_digest));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    std::vector<std::string> retries;
    for (const std::string& event : host.Events())
        if (event.rfind("retry ", 0) == 0) retries.push_back(event);
    EXPECT_EQ(retries, c.retries);
    EXPECT_EQ(FileExists(InstallerPath()), c.done);
    if (c.done) {
        EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    }
    EXPECT_EQ(RequestsTo(*m_web, kInstallerPath).size(), c.requests);
    EXPECT_EQ(host.Events().back().rfind("downfail ", 0) == 0, !c.done);
}

INSTANTIATE_TEST_SUITE_P(Runs, FlakyNetwork, testing::ValuesIn(FlakyCases()), NameOfCase());

TEST_F(DownloadThreadRun, ClosingTheWindowEndsTheWaitAtOnce) {
    ServeInstaller(ServedFile{.content = m_installer, .closeAfter = 0, .laterStatus = 503});
    ServeReply(ReplyFor("2.0"));
    m_retry.firstDelay = std::chrono::seconds(30);
    CRecordingHost host{m_app.params};
    host.OnEvent([this](const std::string& event) {
        if (event.rfind("retry ", 0) == 0) m_app.quit = 1;
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(host), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_NE(host.Events().back(), Failure());
}

TEST_F(DownloadThreadRun, TheNetworkComingBackEndsTheWait) {
    ServeInstaller(ServedFile{.content = m_installer, .closeAfter = 4096, .etag = "\"v\""});
    ServeReply(ReplyFor("2.0"));
    m_retry.firstDelay = std::chrono::seconds(30);
    CRecordingHost host{m_app.params};
    host.OnEvent([&host](const std::string& event) {
        if (event.rfind("retry ", 0) == 0) host.ReportNetworkBack();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(host), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, AMeteredNetworkAsksOnceBeforeALargeDownload) {
    const std::string large = PseudoRandomBytes(11 * 1024 * 1024);
    // Ranges served slowly enough to split into, were it not metered.
    ServeInstaller(ServedFile{.content = large,
                              .pieceBytes = 1024 * 1024,
                              .pauseBetweenPieces = std::chrono::milliseconds(20),
                              .etag = "\"e\""});
    m_ranges = {.splitAfter = std::chrono::milliseconds(10),
                .worthSplitting = std::chrono::milliseconds(10)};
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host{m_app.params};
    host.SetMetered(true, /*answer=*/false);
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{DetailFor("2.0"),
                                        "ask 提示: 当前为按流量计费的网络，继续下载 11.0 MB 吗？",
                                        Failure()}));
    EXPECT_EQ(RequestsTo(*m_web, kInstallerPath).size(), 1u);  // the size; no transfer
    // Retry on the same window goes ahead without asking again.
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(ReadFile(InstallerPath()), large);
    EXPECT_EQ(RequestsTo(*m_web, kInstallerPath).size(), 2u);  // one connection: no ranges
    const auto events = host.Events();
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.rfind("ask ", 0) == 0; }),
              1);
}

TEST_F(DownloadThreadRun, AMeteredNetworkDoesNotAskForASmallDownload) {
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host{m_app.params};
    host.SetMetered(true, /*answer=*/false);
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()), Downloaded(DetailFor("2.0")));
}

TEST_F(DownloadThreadRun, OldDownloadsOfOtherVersionsAreRemovedAndNothingElse) {
    struct Planted {
        std::string name;
        int ageDays;
        bool kept;
    };
    const std::vector<Planted> planted = {
        {"myvelmora_setup1.0.exe", 31, false},
        {"myvelmora_setup1.0.exe.df", 31, false},
        {"myvelmora_setup1.0.exe.df.meta", 31, false},
        {"myvelmora_setup1.0.exe.meta", 31, false},
        {"myvelmora_setup1.5.exe", 29, true},     // younger than 30 days
        {"myvelmora_setup2.0.exe.df", 40, true},  // this version's partial: resumed
        {"log2026-01", 400, true},
        {"notes.exe", 400, true},
        {"myvelmora_setup1.0.exe.bak", 400, true},
    };
    for (const Planted& p : planted) {
        const std::string path = m_tmp / p.name;
        WriteFile(path, p.name == "myvelmora_setup2.0.exe.df" ? m_installer.substr(0, 100) : "x");
        const auto when = std::chrono::system_clock::now() - std::chrono::hours(24 * p.ageDays);
        const timespec times[2] = {{std::chrono::system_clock::to_time_t(when), 0},
                                   {std::chrono::system_clock::to_time_t(when), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ServeReply(ReplyFor("2.0"));
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    for (const Planted& p : planted) {
        if (p.name != "myvelmora_setup2.0.exe.df") {
            EXPECT_EQ(FileExists(m_tmp / p.name), p.kept) << p.name;
        }
    }
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, AMirrorServesTheFileWhenTheMainHostIsDown) {
    // A port nobody listens on: bound, then closed.
    const std::string deadUrl = [] {
        LocalHttpServer gone([](LocalHttpServer&, httplib::Server&) {});
        return gone.Url(kInstallerPath);
    }();
    ServeReply(R"({"version":"2.0","url":")" + deadUrl + R"(","mirrors":[")" +
               m_web->Url(kInstallerPath) + R"("]})");
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    for (const std::string& event : host.Events())
        EXPECT_EQ(event.rfind("retry ", 0), std::string::npos);
}

// Failures a person can act on, each with words of its own; what the log knows stays there.
// A sign-in portal answers every address with its page: nothing of it is written or started,
// and the partial already there stays as it was.
const char kPortalPage[] = "\n<!DOCTYPE html><html><body>Sign in to use the Wi-Fi</body></html>";

struct ActionableCase {
    const char* name;
    std::function<void(httplib::Server&, const std::string& installer)> web;
    bool portalEverywhere;  // the update service answers with the page too
    bool monitorSeesPortal;
    int text;  // the failure view's words; 0: the installer is started
};

void PrintTo(const ActionableCase& c, std::ostream* os) {
    *os << c.name;
}

void ServePortal(httplib::Server& s, const std::string&) {
    s.Get(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(kPortalPage, "text/html; charset=utf-8");
    });
}

std::vector<ActionableCase> ActionableCases() {
    return {
        {"a sign-in portal", ServePortal, true, false, IDS_WEB_PAGE},
        {"a sign-in portal the monitor sees", ServePortal, true, true, IDS_PORTAL_SIGN_IN},
        {"no installer at the address",
         [](httplib::Server& s, const std::string&) { ServeFixed(s, kInstallerPath, 410, ""); },
         false, false, IDS_INSTALLER_NOT_FOUND},
        {"a server that stays busy",
         [](httplib::Server& s, const std::string&) { ServeFixed(s, kInstallerPath, 503, ""); },
         false, false, IDS_SERVER_BUSY},
        {"an installer labelled text/html is still an installer",
         [](httplib::Server& s, const std::string& installer) {
             ServeFixed(s, kInstallerPath, 200, installer, {{"Content-Type", "text/html"}});
         },
         false, false, 0},
    };
}

class EachActionableFailure : public DownloadThreadRun,
                              public testing::WithParamInterface<ActionableCase> {};

TEST_P(EachActionableFailure, IsToldInWordsOfItsOwn) {
    const ActionableCase& c = GetParam();
    m_web = std::make_unique<LocalHttpServer>(
        [&](LocalHttpServer&, httplib::Server& s) { c.web(s, m_installer); });
    if (c.portalEverywhere)
        m_update = std::make_unique<LocalHttpServer>(
            [&](LocalHttpServer&, httplib::Server& s) { c.web(s, m_installer); });
    else
        ServeReply(ReplyFor("2.0"));
    // What an earlier run left of the default installer, which an unusable reply falls back to.
    const std::string partial = DefaultPath() + ".df", before = m_installer.substr(0, 5000);
    WriteFile(partial, before);
    CRecordingHost host{m_app.params};
    host.SetBehindPortal(c.monitorSeesPortal);
    EXPECT_EQ(Run(host), 1u);
    const std::vector<std::string> events = host.Events();
    ASSERT_FALSE(events.empty());
    if (c.text == 0) {
        EXPECT_EQ(events.back(), "progress 0 100");
        return;
    }
    EXPECT_EQ(events.back(), "downfail " + LoadResString(c.text));
    EXPECT_FALSE(FileExists(InstallerPath()) || FileExists(DefaultPath()));
    EXPECT_TRUE(ReadFile(partial) == before);
}

INSTANTIATE_TEST_SUITE_P(Failures, EachActionableFailure, testing::ValuesIn(ActionableCases()),
                         NameOfCase());
}  // namespace
