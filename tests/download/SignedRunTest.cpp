// Whole worker runs of a signed program against local servers: only an installer that a
// verified reply names, of its signed size and digest, is ever announced for starting.

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/AcceptedVersionStore.h"
#include "download/DownloadThread.h"
#include "tests/download/RecordingHost.h"
#include "tests/download/TestSigner.h"
#include "tests/support/Bytes.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAppState.h"

// Each case names only what sets it apart; GCC 12 warns about every member a designated
// initializer leaves to its default.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {
// A failure that is tried again waits only a moment here.
const RetrySettings kQuickRetries{.firstDelay = std::chrono::milliseconds(10)};
constexpr char kUpdatePath[] = "/tools/updateinfo.php";
constexpr char kInstallerPath[] = "/files/setup.exe";
constexpr char kDefaultInstallerPath[] = "/tools/myvelmora_setup.exe";

// What the publisher signed, and how the served reply or installer departs from it.
struct SignedCase {
    const char* name;
    std::function<void(Json::Value&)> editDocument;          // before signing
    std::function<void(std::string&, std::string&)> tamper;  // body, header after signing
    std::string servedSuffix;                                // bytes served beyond the installer
    bool flipInstallerByte = false;                          // serve a different installer
    const char* acceptedBefore = "";                         // the user's accepted version
    int failureText = 0;                                     // 0: the installer is started
    const char* logged = "";                                 // in the log, when it fails
};

void PrintTo(const SignedCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kInstaller(30000, 'i');

class SignedRun : public testing::TestWithParam<SignedCase> {
  protected:
    void SetUp() override {
        m_app.params.Set("Version", "velmora");
        m_app.params.Set("Channel", "general");
        m_app.params.Set("AppTmpPath", m_tmp.Path() + "/");
        m_app.params.Set("Log", m_tmp / "log.txt");
    }

    std::string SignedDocument(const SignedCase& c) const {
        Json::Value doc(Json::objectValue);
        doc["url"] = m_web->Url(kInstallerPath);
        doc["version"] = "2.0";
        doc["channel"] = "general";
        doc["sha256"] = DigestOf(kInstaller);
        doc["size"] = static_cast<Json::UInt64>(kInstaller.size());
        doc["expires"] = static_cast<Json::Int64>(std::time(nullptr) + 3600);
        if (c.editDocument) c.editDocument(doc);
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        return Json::writeString(writer, doc);
    }

    unsigned Run(const SignedCase& c, CRecordingHost& host) {
        std::string served = kInstaller + c.servedSuffix;
        if (c.flipInstallerByte) served[100] ^= 1;
        m_web = std::make_unique<LocalHttpServer>([&](LocalHttpServer& owner, httplib::Server& s) {
            ServeFile(owner, s, kInstallerPath, ServedFile{.content = served});
            ServeFile(owner, s, kDefaultInstallerPath, ServedFile{.content = served});
        });
        std::string body = SignedDocument(c);
        std::string header = m_signer.Pair(body);
        if (c.tamper) c.tamper(body, header);
        m_update = std::make_unique<LocalHttpServer>([&](LocalHttpServer&, httplib::Server& s) {
            s.Get(kUpdatePath, [body, header](const httplib::Request&, httplib::Response& res) {
                if (!header.empty()) res.set_header("X-Update-Signature", header);
                res.set_content(body, "application/json");
            });
        });
        const UpdateEndpoints endpoints{"127.0.0.1:" + std::to_string(m_update->Port()),
                                        m_web->Url(kDefaultInstallerPath)};
        return DownloadThread(&host,
                              WorkerEnvironment{m_app.State(), endpoints, kQuickRetries, m_keys});
    }

    std::string InstallerPath() const { return m_tmp.Path() + "//myvelmora_setup2.0.exe"; }

    TempDir m_tmp;
    TestAppState m_app;
    TestSigner m_signer{"k1"};
    std::vector<UpdateKey> m_keys{m_signer.PublicKey()};
    std::unique_ptr<LocalHttpServer> m_web;
    std::unique_ptr<LocalHttpServer> m_update;
};

TEST_P(SignedRun, StartsOnlyTheSignedInstaller) {
    const SignedCase& c = GetParam();
    if (*c.acceptedBefore) {
        ASSERT_TRUE(RecordAcceptedVersion(m_tmp.Path(), c.acceptedBefore));
    }
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(c, host), 1u);
    const std::vector<std::string> events = host.Events();
    ASSERT_FALSE(events.empty());
    if (c.failureText == 0) {
        EXPECT_EQ(events.back(), "progress 0 100");
        EXPECT_EQ(ReadFile(InstallerPath()), kInstaller);
        EXPECT_EQ(ReadAcceptedVersion(m_tmp.Path()), "2.0");
        EXPECT_FALSE(FileExists(m_tmp / "log.txt"));
        return;
    }
    EXPECT_EQ(events.back(), "downfail " + LoadResString(c.failureText));
    for (const std::string& event : events) EXPECT_NE(event, "progress 0 100");
    EXPECT_FALSE(FileExists(InstallerPath()));
    EXPECT_FALSE(FileExists(InstallerPath() + ".df")) << "bytes of a refused transfer were kept";
    // Nothing unverified is fetched: not the default installer, and no installer at all when
    // the reply was refused.
    for (const SeenRequest& seen : m_web->Requests())
        EXPECT_EQ(seen.path, kInstallerPath) << "fetched " << seen.path;
    if (c.failureText != IDS_TRANSFER_FAILED) {
        EXPECT_EQ(m_web->RequestCount(), 0u);
    }
    EXPECT_NE(ReadFile(m_tmp / "log.txt").find(c.logged), std::string::npos)
        << ReadFile(m_tmp / "log.txt");
    EXPECT_EQ(ReadAcceptedVersion(m_tmp.Path()), c.acceptedBefore);
}

const auto kFlipBodyByte = [](std::string& body, std::string&) { body[body.size() / 2] ^= 1; };
const auto kStripHeader = [](std::string&, std::string& header) { header.clear(); };
const auto kAppendBlank = [](std::string& body, std::string&) { body += "\n"; };

INSTANTIATE_TEST_SUITE_P(
    Replies, SignedRun,
    testing::Values(SignedCase{.name = "good"},
                    SignedCase{.name = "newer_than_accepted", .acceptedBefore = "1.9"},
                    SignedCase{.name = "tampered_reply",
                               .tamper = kFlipBodyByte,
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "does not verify"},
                    SignedCase{.name = "reply_with_a_line_end_added",
                               .tamper = kAppendBlank,
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "does not verify"},
                    SignedCase{.name = "stripped_signature",
                               .tamper = kStripHeader,
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "no X-Update-Signature"},
                    SignedCase{
                        .name = "unknown_key",
                        .tamper = [](std::string&, std::string& h) { h.replace(0, 2, "k9"); },
                        .failureText = IDS_UPDATE_CHECK_FAILED,
                        .logged = "update reply:"},
                    SignedCase{.name = "expired",
                               .editDocument =
                                   [](Json::Value& d) {
                                       d["expires"] =
                                           static_cast<Json::Int64>(std::time(nullptr) - 3600);
                                   },
                               .failureText = IDS_UPDATE_EXPIRED,
                               .logged = "update reply:"},
                    SignedCase{.name = "other_channel",
                               .editDocument = [](Json::Value& d) { d["channel"] = "beta"; },
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "update reply:"},
                    SignedCase{.name = "rolled_back",
                               .acceptedBefore = "2.1",
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "update reply:"},
                    SignedCase{.name = "tampered_installer",
                               .flipInstallerByte = true,
                               .failureText = IDS_TRANSFER_FAILED,
                               .logged = "sha256 mismatch"},
                    SignedCase{.name = "installer_longer_than_signed",
                               .servedSuffix = std::string(9000, 'x'),
                               .failureText = IDS_TRANSFER_FAILED,
                               .logged = "longer than the expected size"}),
    [](const testing::TestParamInfo<SignedCase>& info) { return std::string(info.param.name); });

class SignedRunPlain : public SignedRun {};

TEST_F(SignedRunPlain, CopyOnDiskCountsOnlyWithTheSignedSizeAndDigest) {
    // The same bytes with one more at the end, then the genuine file.
    WriteFile(InstallerPath(), kInstaller + "x");
    {
        CRecordingHost host{m_app.params};
        Run(SignedCase{.name = "longer_copy"}, host);
        EXPECT_EQ(host.Events().back(), "progress 0 100");  // downloaded again
    }
    const std::size_t transfers = m_web->RequestCount();
    EXPECT_EQ(transfers, 1u);
    CRecordingHost host{m_app.params};
    Run(SignedCase{.name = "genuine_copy"}, host);
    EXPECT_EQ(host.Events(), (std::vector<std::string>{"progress 30000 100"}));
    EXPECT_EQ(m_web->RequestCount(), 0u);  // not even a size query
}

TEST_F(SignedRunPlain, UnreachableServiceIsAFailedTransferAndFetchesNothing) {
    m_update = std::make_unique<LocalHttpServer>(
        [](LocalHttpServer&, httplib::Server& s) { ServeFixed(s, kUpdatePath, 500, "oops"); });
    m_web = std::make_unique<LocalHttpServer>([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, kDefaultInstallerPath, ServedFile{.content = kInstaller});
    });
    CRecordingHost host{m_app.params};
    const UpdateEndpoints endpoints{"127.0.0.1:" + std::to_string(m_update->Port()),
                                    m_web->Url(kDefaultInstallerPath)};
    EXPECT_EQ(
        DownloadThread(&host, WorkerEnvironment{m_app.State(), endpoints, kQuickRetries, m_keys}),
        1u);
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"downfail " + LoadResString(IDS_TRANSFER_FAILED)}));
    EXPECT_EQ(m_update->RequestCount(), 2u);  // asked twice, as an unsigned program does
    EXPECT_EQ(m_web->RequestCount(), 0u);
    EXPECT_NE(ReadFile(m_tmp / "log.txt").find("update reply: the server answered 500"),
              std::string::npos);
}
}  // namespace
