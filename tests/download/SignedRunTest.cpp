// Whole worker runs of a signed program against local servers: only an installer that a
// verified reply names, of its signed size and digest, is ever announced for starting.

#include <gtest/gtest.h>
#include <json/value.h>
#include <json/writer.h>

#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ResString.h"
#include "base/StringTable.h"
#include "download/AcceptedVersionStore.h"
#include "download/DownloadThread.h"
#include "net/ResumeRecord.h"
#include "tests/download/RecordingHost.h"
#include "tests/download/TestSigner.h"
#include "tests/support/Bytes.h"
#include "tests/support/CaseName.h"
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
constexpr char kMirrorPath[] = "/mirror/setup.exe";

// What the publisher signed, and how the served reply or installer departs from it.
struct SignedCase {
    const char* name;
    std::function<void(Json::Value&)> editDocument;          // before signing
    std::function<void(std::string&, std::string&)> tamper;  // body, header after signing
    std::string servedSuffix;                                // bytes served beyond the installer
    bool flipInstallerByte = false;                          // serve a different installer
    std::optional<std::size_t> claimedLength;                // announce another length
    bool chunked = false;                                    // announce no length at all
    bool mirrorServesTheInstaller = false;                   // a mirror holds the right file
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
        m_app.stateFolder = m_state.Path() + "/";
    }

    std::string AcceptedVersion() {
        return ReadAcceptedVersion(AcceptedVersionPlacesOf(m_app.State()));
    }

    std::string SignedDocument(const SignedCase& c) const {
        Json::Value doc(Json::objectValue);
        doc["url"] = m_web->Url(kInstallerPath);
        doc["version"] = "2.0";
        doc["product"] = "velmora";
        doc["channel"] = "general";
        doc["sha256"] = DigestOf(kInstaller);
        doc["size"] = static_cast<Json::UInt64>(kInstaller.size());
        doc["expires"] = static_cast<Json::Int64>(std::time(nullptr) + 3600);
        if (c.mirrorServesTheInstaller) doc["mirrors"].append(m_web->Url(kMirrorPath));
        if (c.editDocument) c.editDocument(doc);
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        return Json::writeString(writer, doc);
    }

    unsigned Run(const SignedCase& c, CRecordingHost& host) {
        std::string served = kInstaller + c.servedSuffix;
        if (c.flipInstallerByte) served[100] ^= 1;
        m_web = std::make_unique<LocalHttpServer>([&](LocalHttpServer& owner, httplib::Server& s) {
            // A body without a length tells no size in a Content-Range either.
            const ServedFile spoiled{.content = served,
                                     .honourRange = !c.chunked,
                                     .chunked = c.chunked,
                                     .claimedLength = c.claimedLength};
            ServeFile(owner, s, kInstallerPath, spoiled);
            ServeFile(owner, s, kDefaultInstallerPath, spoiled);
            ServeFile(owner, s, kMirrorPath, ServedFile{.content = kInstaller});
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
    TempDir m_state;
    TestAppState m_app;
    TestSigner m_signer{"k1"};
    std::vector<UpdateKey> m_keys{m_signer.PublicKey()};
    std::unique_ptr<LocalHttpServer> m_web;
    std::unique_ptr<LocalHttpServer> m_update;
};

TEST_P(SignedRun, StartsOnlyTheSignedInstaller) {
    const SignedCase& c = GetParam();
    if (*c.acceptedBefore) {
        ASSERT_EQ(RecordAcceptedVersion(AcceptedVersionPlacesOf(m_app.State()), c.acceptedBefore),
                  "");
    }
    CRecordingHost host{m_app.params};
    EXPECT_EQ(Run(c, host), 1u);
    const std::vector<std::string> events = host.Events();
    ASSERT_FALSE(events.empty());
    if (c.failureText == 0) {
        EXPECT_EQ(events.back(), "progress 0 100");
        EXPECT_EQ(ReadFile(InstallerPath()), kInstaller);
        EXPECT_EQ(AcceptedVersion(), "2.0");
        EXPECT_FALSE(FileExists(m_tmp / kAcceptedVersionFileName)) << "kept in the download folder";
        // Only the signed size was ever recorded, whatever an address claimed.
        EXPECT_EQ(LoadResumeRecord(InstallerPath() + ".meta").value_or(ResumeRecord{}).size,
                  kInstaller.size());
        // A fault of the main address is logged; the mirror then served the file.
        if (*c.logged)
            EXPECT_NE(ReadFile(m_tmp / "log.txt").find(c.logged), std::string::npos);
        else
            EXPECT_FALSE(FileExists(m_tmp / "log.txt"));
        return;
    }
    EXPECT_EQ(events.back(), "downfail " + LoadResString(c.failureText));
    for (const std::string& event : events) EXPECT_NE(event, "progress 0 100");
    EXPECT_FALSE(FileExists(InstallerPath()));
    const std::string partial = InstallerPath() + ".df";
    EXPECT_TRUE(!FileExists(partial) || ReadFile(partial).empty())
        << "bytes of a refused transfer were kept";
    // Nothing unverified is fetched: not the default installer, and no installer at all when
    // the reply was refused.
    for (const SeenRequest& seen : m_web->Requests())
        EXPECT_EQ(seen.path, kInstallerPath) << "fetched " << seen.path;
    if (c.failureText != IDS_TRANSFER_FAILED) {
        EXPECT_EQ(m_web->RequestCount(), 0u);
    }
    EXPECT_NE(ReadFile(m_tmp / "log.txt").find(c.logged), std::string::npos)
        << ReadFile(m_tmp / "log.txt");
    EXPECT_EQ(AcceptedVersion(), c.acceptedBefore);
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
                    SignedCase{.name = "expires_in_two_years",
                               .editDocument =
                                   [](Json::Value& d) {
                                       d["expires"] = static_cast<Json::Int64>(std::time(nullptr) +
                                                                               2 * 366 * 86400);
                                   },
                               .failureText = IDS_UPDATE_EXPIRED,
                               .logged = "more than 366 days"},
                    // A sign-in portal's page instead of the reply: words that say what to do.
                    SignedCase{.name = "a_portal_page_instead",
                               .tamper =
                                   [](std::string& body, std::string& header) {
                                       body = "<!DOCTYPE html><html><body>Sign in</body></html>";
                                       header.clear();
                                   },
                               .failureText = IDS_WEB_PAGE,
                               .logged = "update reply:"},
                    SignedCase{.name = "rolled_back",
                               .acceptedBefore = "2.1",
                               .failureText = IDS_UPDATE_CHECK_FAILED,
                               .logged = "update reply:"}),
    [](const testing::TestParamInfo<SignedCase>& info) { return std::string(info.param.name); });

// What one address can do wrong with the installer; every one of them is its fault alone.
std::vector<SignedCase> InstallerFaults() {
    const std::string longer(9000, 'x');
    return {
        {.name = "other_bytes", .flipInstallerByte = true, .logged = "sha256 mismatch"},
        {.name = "longer", .servedSuffix = longer, .logged = "claims another size"},
        {.name = "longer_without_a_length",
         .servedSuffix = longer,
         .chunked = true,
         .logged = "longer than the expected size"},
        {.name = "claiming_a_quadrillion_bytes",
         .claimedLength = 1000000000000000,
         .logged = "claims another size"},
    };
}

// Each fault at the only address fails the run; with a mirror that holds the right file, the
// run finishes from the mirror.
std::vector<SignedCase> FaultsAloneAndThenAMirror() {
    static std::deque<std::string> names;
    std::vector<SignedCase> cases;
    for (SignedCase fault : InstallerFaults()) {
        names.push_back(std::string("installer_") + fault.name);
        fault.name = names.back().c_str();
        fault.failureText = IDS_TRANSFER_FAILED;
        cases.push_back(fault);
        names.push_back(names.back() + "_then_a_mirror");
        fault.name = names.back().c_str();
        fault.failureText = 0;
        fault.mirrorServesTheInstaller = true;
        cases.push_back(fault);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Addresses, SignedRun, testing::ValuesIn(FaultsAloneAndThenAMirror()),
                         NameOfCase());

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

TEST_F(SignedRunPlain, AReplyDrippedBeyondItsLimitIsAFailedTransferAskedTwice) {
    m_update = std::make_unique<LocalHttpServer>([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, kUpdatePath,
                  ServedFile{.content = std::string(4000, ' '),
                             .pieceBytes = 3,
                             .pauseBetweenPieces = std::chrono::milliseconds(100)});
    });
    m_web = std::make_unique<LocalHttpServer>([](LocalHttpServer&, httplib::Server&) {});
    CRecordingHost host{m_app.params};
    const UpdateEndpoints endpoints{"127.0.0.1:" + std::to_string(m_update->Port()),
                                    m_web->Url(kDefaultInstallerPath)};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadThread(
                  &host,
                  WorkerEnvironment{
                      m_app.State(), endpoints, kQuickRetries, m_keys, {.exchangeSeconds = 1}}),
              1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(host.Events(),
              (std::vector<std::string>{"downfail " + LoadResString(IDS_TRANSFER_FAILED)}));
    EXPECT_EQ(m_update->RequestCount(), 2u);  // each try had its own limit
    EXPECT_NE(ReadFile(m_tmp / "log.txt").find("update reply: not received"), std::string::npos);
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
