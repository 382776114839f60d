// Whole worker runs against a local server: each outcome's exact events, files and requests.

#include "download/DownloadThread.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/DownloaderApp.h"
#include "app/ResString.h"
#include "net/Sha256.h"
#include "tests/download/InstallerServer.h"
#include "tests/download/RecordingHost.h"
#include "tests/support/TempDir.h"

namespace {
using Reply = CInstallerServer::Reply;

std::string MakeInstaller(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return bytes;
}

std::string DigestOf(const std::string& bytes) {
    CSha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.HexDigest();
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

class DownloadThreadRun : public testing::Test {
  protected:
    static constexpr std::size_t kSize = 20000;

    void SetUp() override {
        CDownloaderApp& app = TheApp();
        app.m_bQuit = 0;
        app.AppParams.Set("Version", "velmora");
        app.AppParams.Set("Channel", "general");
        app.AppParams.Set("AppTmpPath", m_tmp.Path() + "/");
        app.AppParams.Set("Log", m_tmp / "log.txt");
        app.AppParams.Set("AppPath", "");
        m_server.SetInstaller(m_installer);
    }
    void TearDown() override { TheApp().m_bQuit = 0; }

    unsigned Run(CRecordingHost& host) { return DownloadThread(&host, m_endpoints); }

    std::string ReplyFor(const std::string& version, const std::string& sha256 = {}) const {
        std::string reply = R"({"version":")" + version + R"(","url":")" +
                            m_server.Url(CInstallerServer::kInstallerPath) + "\"";
        if (!sha256.empty()) reply += R"(,"sha256":")" + sha256 + "\"";
        return reply + R"(,"detail":"http://details"})";
    }
    // The reply as the page receives it: members by name, one line.
    std::string DetailFor(const std::string& version, const std::string& sha256 = {}) const {
        std::string detail = R"(detail {"detail":"http://details")";
        if (!sha256.empty()) detail += R"(,"sha256":")" + sha256 + "\"";
        return detail + R"(,"url":")" + m_server.Url(CInstallerServer::kInstallerPath) +
               R"(","version":")" + version + "\"}\n";
    }
    void ServeReply(const std::string& body) { m_server.SetUpdateReplies({{200, body}}); }

    // "AppTmpPath" ends in a separator and the file name starts with one.
    std::string InstallerPath(const std::string& version = "2.0") const {
        return m_tmp.Path() + "//myvelmora_setup" + version + ".exe";
    }
    std::string Size() const { return "size " + std::to_string(kSize); }

    TempDir m_tmp;
    CInstallerServer m_server;
    UpdateEndpoints m_endpoints{m_server.Host(),
                                m_server.Url(CInstallerServer::kDefaultInstallerPath)};
    const std::string m_installer = MakeInstaller(kSize);
    const std::string m_digest = DigestOf(m_installer);
};

TEST_F(DownloadThreadRun, WithoutAHostNothingHappens) {
    EXPECT_EQ(DownloadThread(nullptr, m_endpoints), 0u);
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(DownloadThreadRun, OfflineShowsOneBoxThenTheFailureViewAndAsksNothing) {
    CRecordingHost host(/*online=*/false);
    EXPECT_EQ(Run(host), 0u);
    const std::string text = LoadResString(107);
    ASSERT_EQ(text, "网络连接失败！请检查您的网络配置后重试！");
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"box 0x10030 提示: " + text, "downfail " + text}));
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(TheApp().AppParams.Get("AppPath"), "");
}

TEST_F(DownloadThreadRun, FreshDownloadEndsWithTheVerifiedFileInPlace) {
    ServeReply(ReplyFor("2.0", m_digest));
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0", m_digest), Size(), "progress 0 100"}));
    EXPECT_EQ(TheApp().AppParams.Get("AppPath"), InstallerPath());
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));
    // The window saw the final path with every event.
    for (const std::string& seen : host.AppPathsSeen()) EXPECT_EQ(seen, InstallerPath());

    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kUpdatePath).size(), 1u);
    const auto transfers = m_server.RequestsFor(CInstallerServer::kInstallerPath);
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].range, "");
}

TEST_F(DownloadThreadRun, RequestCarriesProductKeyAndChannelUnescaped) {
    ServeReply("null");
    {
        CRecordingHost host;
        Run(host);
    }
    auto asked = m_server.RequestsFor(CInstallerServer::kUpdatePath);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].target,
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=general");

    // An ampersand in the channel starts another query argument at the service.
    TheApp().AppParams.Set("Channel", "gen&x=1");
    {
        CRecordingHost host;
        Run(host);
    }
    asked = m_server.RequestsFor(CInstallerServer::kUpdatePath);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].target,
              "/tools/updateinfo.php?type=all&detail=1&version=velmora&channel=gen&x=1");
    EXPECT_EQ(asked[1].params.find("channel")->second, "gen");
    EXPECT_EQ(asked[1].params.find("x")->second, "1");
}

TEST_F(DownloadThreadRun, ChannelWithASpaceIsNotSentAndTheDefaultsTakeOver) {
    // The address goes out unescaped; the HTTP client refuses a raw space (it is no valid URL
    // text), so the service is never asked and the run continues as without a reply.
    ServeReply(ReplyFor("2.0"));
    TheApp().AppParams.Set("Channel", "gen eral");
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_TRUE(m_server.RequestsFor(CInstallerServer::kUpdatePath).empty());
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{"detail null\n", Size(), "progress 0 100"}));
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kDefaultInstallerPath).size(), 1u);
}

TEST_F(DownloadThreadRun, CompleteCopyIsAnnouncedAloneWithItsSize) {
    ServeReply(ReplyFor("2.0"));
    WriteFile(InstallerPath(), m_installer);
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(host.Events(), (std::vector<std::string>{"progress 20000 100"}));
    EXPECT_EQ(host.AppPathsSeen(), (std::vector<std::string>{InstallerPath()}));
    // One size query; no transfer and no partial file.
    const auto transfers = m_server.RequestsFor(CInstallerServer::kInstallerPath);
    ASSERT_EQ(transfers.size(), 1u);
    EXPECT_EQ(transfers[0].range, "");
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));
}

TEST_F(DownloadThreadRun, CopyOneByteShortIsDownloadedAgain) {
    ServeReply(ReplyFor("2.0"));
    WriteFile(InstallerPath(), m_installer.substr(0, kSize - 1));
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0"), Size(), "progress 0 100"}));
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kInstallerPath).size(), 2u);
}

TEST_F(DownloadThreadRun, EmptyFileIsNeverACompleteCopy) {
    // The server cannot tell the size (404): an empty file would otherwise count as complete.
    ServeReply(ReplyFor("2.0"));
    m_server.SetInstallerMissing(true);
    WriteFile(InstallerPath(), "");
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0"),
                                        std::string("downfail ") + kTransferFailedText}));
}

TEST_F(DownloadThreadRun, EmptyFirstReplyIsAskedAgain) {
    for (int status : {200, 500}) {
        SCOPED_TRACE(status);
        m_server.SetUpdateReplies({{status, ""}, {200, ReplyFor("2.0")}});
        std::filesystem::remove(InstallerPath());
        CRecordingHost host;
        EXPECT_EQ(Run(host), 1u);
        EXPECT_EQ(Milestones(host.Events()),
                  (std::vector<std::string>{DetailFor("2.0"), Size(), "progress 0 100"}));
        EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
    }
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kUpdatePath).size(), 4u);
}

TEST_F(DownloadThreadRun, TwoEmptyRepliesFallBackToTheDefaultInstaller) {
    m_server.SetUpdateReplies({{200, ""}});
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);

    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kUpdatePath).size(), 2u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{"detail null\n", Size(), "progress 0 100"}));
    const std::string path = m_tmp.Path() + "//myvelmora_setup.exe";
    EXPECT_EQ(TheApp().AppParams.Get("AppPath"), path);
    EXPECT_EQ(ReadFile(path), m_installer);
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kDefaultInstallerPath).size(), 1u);
}

TEST_F(DownloadThreadRun, FailedTransferIsShownAndRetryResumesFromThePartialFile) {
    ServeReply(ReplyFor("2.0"));
    m_server.CloseAfter(8192);
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0"), Size(),
                                        std::string("downfail ") + kTransferFailedText}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    const std::string partial = ReadFile(InstallerPath() + ".df");
    ASSERT_FALSE(partial.empty());
    EXPECT_EQ(partial, m_installer.substr(0, partial.size()));

    // Retry: a fresh run on the same window.
    m_server.CloseAfter(std::string::npos);
    CRecordingHost retried;
    EXPECT_EQ(Run(retried), 1u);
    EXPECT_EQ(Milestones(retried.Events()),
              (std::vector<std::string>{DetailFor("2.0"), Size(), "progress 0 100"}));
    const auto transfers = m_server.RequestsFor(CInstallerServer::kInstallerPath);
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[1].range, "bytes=" + std::to_string(partial.size()) + "-");
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, QuitDuringTheTransferShowsNoFailure) {
    ServeReply(ReplyFor("2.0"));
    m_server.StallAfter(4096);
    CRecordingHost host;
    // The window sets the quit flag when it closes; here it closes on the first progress.
    host.OnEvent([](const std::string& event) {
        if (event.rfind("progress ", 0) == 0) TheApp().m_bQuit = 1;
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(host), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    m_server.Release();

    const std::vector<std::string> events = host.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(Milestones(events), (std::vector<std::string>{DetailFor("2.0"), Size()}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    EXPECT_TRUE(FileExists(InstallerPath() + ".df"));
}

TEST_F(DownloadThreadRun, VersionCannotPlaceTheFileOutsideTheTemporaryFolder) {
    const std::string inner = m_tmp / "inner";
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    TheApp().AppParams.Set("AppTmpPath", inner + "/");
    for (const std::string version : {"/../../escape", "/../escape/..", "x\\n/../y"}) {
        SCOPED_TRACE(version);
        std::filesystem::remove(inner + "//myvelmora_setup.exe");
        ServeReply(ReplyFor(version));
        CRecordingHost host;
        EXPECT_EQ(Run(host), 1u);
        EXPECT_EQ(TheApp().AppParams.Get("AppPath"), inner + "//myvelmora_setup.exe");
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
    ServeReply(ReplyFor("2.0", DigestOf("another installer")));
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0", DigestOf("another installer")), Size(),
                                        std::string("downfail ") + kTransferFailedText}));
    EXPECT_FALSE(FileExists(InstallerPath()));
    EXPECT_FALSE(FileExists(InstallerPath() + ".df"));  // the bad bytes are gone
}

TEST_F(DownloadThreadRun, WrongExistingCopyIsReplacedByAVerifiedDownload) {
    ServeReply(ReplyFor("2.0", m_digest));
    std::string wrong = m_installer;
    wrong[kSize / 2] ^= 0x5A;
    WriteFile(InstallerPath(), wrong);
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(Milestones(host.Events()),
              (std::vector<std::string>{DetailFor("2.0", m_digest), Size(), "progress 0 100"}));
    EXPECT_EQ(ReadFile(InstallerPath()), m_installer);
}

TEST_F(DownloadThreadRun, MatchingExistingCopyIsComplete) {
    ServeReply(ReplyFor("2.0", m_digest));
    WriteFile(InstallerPath(), m_installer);
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(), (std::vector<std::string>{"progress 20000 100"}));
}

TEST_F(DownloadThreadRun, ReplyWithoutUrlFailsTheTransferAtOnce) {
    ServeReply(R"({"version":"2.0"})");
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"detail {\"version\":\"2.0\"}\n",
                                        std::string("downfail ") + kTransferFailedText}));
    EXPECT_EQ(TheApp().AppParams.Get("AppPath"), InstallerPath());
    EXPECT_TRUE(m_server.RequestsFor(CInstallerServer::kInstallerPath).empty());
}

TEST_F(DownloadThreadRun, NullReplyParsesWithoutAnAddress) {
    ServeReply("null");
    CRecordingHost host;
    EXPECT_EQ(Run(host), 1u);
    EXPECT_EQ(host.Events(), (std::vector<std::string>{
                                 "detail null\n", std::string("downfail ") + kTransferFailedText}));
    EXPECT_EQ(TheApp().AppParams.Get("AppPath"), m_tmp.Path() + "//myvelmora_setup.exe");
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kUpdatePath).size(), 1u);
}

TEST_F(DownloadThreadRun, UnreadableMembersFallBackToTheDefaultInstaller) {
    const std::string url = m_server.Url(CInstallerServer::kInstallerPath);
    const std::string replies[] = {
        R"({"url":")" + url + R"(","version":2.0})",
        R"({"url":[")" + url + R"("],"version":"2.0"})",
        R"([{"url":")" + url + R"("}])",
    };
    const std::string path = m_tmp.Path() + "//myvelmora_setup.exe";
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply);
        std::filesystem::remove(path);
        ServeReply(reply);
        CRecordingHost host;
        EXPECT_EQ(Run(host), 1u);
        const auto events = Milestones(host.Events());
        ASSERT_EQ(events.size(), 3u);
        EXPECT_EQ(events[2], "progress 0 100");
        EXPECT_EQ(TheApp().AppParams.Get("AppPath"), path);
        EXPECT_EQ(ReadFile(path), m_installer);
    }
    EXPECT_EQ(m_server.RequestsFor(CInstallerServer::kDefaultInstallerPath).size(), 3u);
    EXPECT_TRUE(m_server.RequestsFor(CInstallerServer::kInstallerPath).empty());
}
}  // namespace
