// A partial file is continued only with bytes of the file it came from: a file replaced on the
// server between two runs, or a partial of unknown origin, starts again instead of being
// spliced, and a power loss never leaves unsynced bytes inside.

#include <optional>
#include <tuple>

#include "net/Http.h"
#include "net/ResumeRecord.h"
#include "net/Sha256.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kOld = PseudoRandomBytes(200000, 1);
const std::string kNew = PseudoRandomBytes(200000, 2);
const std::string kNewShorter = PseudoRandomBytes(90000, 3);

struct ResumeCase {
    const char* name;
    std::string partial;                // the partial file before the run
    std::optional<std::string> record;  // its record: "etag" (the old file's ETag) or "synced N"
    ServedFile served;                  // what the server holds now
    std::vector<std::string> ranges;    // the Range of each request
};

std::vector<ResumeCase> Cases() {
    return {
        {"replaced, same size, validator: If-Range brings the new file",
         kOld.substr(0, 150000),
         "etag",
         {.content = kNew, .etag = "\"new\""},
         {"bytes=150000-"}},
        {"replaced, shorter, validator",
         kOld.substr(0, 150000),
         "etag",
         {.content = kNewShorter, .etag = "\"new\""},
         {"bytes=150000-"}},
        {"replaced, same size, no validator: the overlap differs",
         kOld.substr(0, 150000),
         std::nullopt,
         {.content = kNew},
         {"bytes=84464-", "bytes=0-"}},
        {"replaced, shorter, no validator: it ends before the partial does",
         kOld.substr(0, 150000),
         std::nullopt,
         {.content = kNewShorter},
         {"bytes=84464-", "bytes=0-"}},
        {"not a prefix, no record: never spliced",
         kNew.substr(0, 100) + kOld.substr(100, 149900),
         std::nullopt,
         {.content = kNew},
         {"bytes=84464-", "bytes=0-"}},
        {"unchanged, validator: resumed at its end",
         kNew.substr(0, 150000),
         "etag",
         {.content = kNew, .etag = "\"old\""},
         {"bytes=150000-"}},
        {"unchanged, no validator: resumed after the overlap matched",
         kNew.substr(0, 150000),
         std::nullopt,
         {.content = kNew},
         {"bytes=84464-"}},
        {"power loss: bytes past the synced length are cut off",
         kNew.substr(0, 100000) + std::string(50000, 'G'),
         "synced 100000",
         {.content = kNew, .etag = "\"old\""},
         {"bytes=100000-"}},
        {"small partial of unknown origin: the answer from byte 0 replaces it",
         kOld.substr(0, 30000),
         std::nullopt,
         {.content = kNew},
         {"bytes=0-"}},
        {"complete copy claimed by a 416, no validator: the tail decides",
         kOld,
         std::nullopt,
         {.content = kNew},
         {"bytes=134464-", "bytes=0-"}},
    };
}

void PrintTo(const ResumeCase& c, std::ostream* os) {
    *os << c.name;
}

// Each case runs twice: as the unsigned program does, and with the digest and size of a
// signed reply, whose check must follow the partial through every restart.
class EachReplacement : public NetTest,
                        public testing::WithParamInterface<std::tuple<ResumeCase, bool>> {};
}  // namespace

TEST_P(EachReplacement, EndsWithTheServersFileByteForByte) {
    const auto& [c, withDigest] = GetParam();
    LocalHttpServer server(
        [&](LocalHttpServer& owner, httplib::Server& s) { ServeFile(owner, s, "/f", c.served); });
    const std::string destination = Path("setup.exe"), partial = destination + ".df";
    WriteFile(partial, c.partial);
    DownloadTarget target{server.Url("/f"), "", 0};
    if (withDigest)
        target = {server.Url("/f"), DigestOf(c.served.content), c.served.content.size()};
    if (c.record) {
        ResumeRecord record = ResumeRecord::For(target);
        record.synced = c.partial.size();
        if (std::string(*c.record).rfind("synced ", 0) == 0)
            record.synced = std::stoull(c.record->substr(7));
        record.validators["127.0.0.1:" + std::to_string(server.Port())] = "etag \"old\"";
        ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(partial), record).Ok());
    }
    CHttp http = NewHttp();
    ASSERT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), destination, target), 1)
        << http.LastError();
    EXPECT_TRUE(ReadFile(destination) == c.served.content);
    EXPECT_EQ(server.Ranges(), c.ranges);
    EXPECT_FALSE(FileExists(partial));
    // The record goes with the finished file, naming the server's copy.
    const auto kept = LoadResumeRecord(ResumeRecordPath(destination));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->synced, c.served.content.size());
}

INSTANTIATE_TEST_SUITE_P(Replacements, EachReplacement,
                         testing::Combine(testing::ValuesIn(Cases()), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<ResumeCase, bool>>& info) {
                             return CaseName(std::string(std::get<0>(info.param).name) +
                                             (std::get<1>(info.param) ? " signed" : ""));
                         });

TEST_F(NetTest, APartialMeantForAnotherFileStartsAgain) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kNew, .etag = "\"v\""});
    });
    const std::string destination = Path("setup.exe"), partial = destination + ".df";
    WriteFile(partial, kOld.substr(0, 1000));
    CSha256 oldSha;
    oldSha.Update(kOld.data(), kOld.size());
    ResumeRecord record = ResumeRecord::For({server.Url("/f"), oldSha.HexDigest(), kOld.size()});
    record.synced = 1000;
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(partial), record).Ok());
    CSha256 newSha;
    newSha.Update(kNew.data(), kNew.size());
    CHttp http = NewHttp();
    ASSERT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), destination,
                                DownloadTarget{server.Url("/f"), newSha.HexDigest(), kNew.size()}),
              1);
    EXPECT_TRUE(ReadFile(destination) == kNew);
    EXPECT_EQ(server.Ranges(), std::vector<std::string>{"bytes=0-"});
}

TEST_F(NetTest, ACompleteCopyIsConfirmedOnlyWhileTheServerVouchesForIt) {
    std::string served = kNew;
    LocalHttpServer server([&](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/same", {.content = kNew, .etag = "\"v\""});
        ServeFile(owner, s, "/changed", {.content = kNew, .etag = "\"w\""});
        ServeFile(owner, s, "/other-tail", {.content = kOld});
    });
    const std::string copy = Path("setup.exe");
    WriteFile(copy, kNew);
    ResumeRecord record = ResumeRecord::For({server.Url("/same"), "", 0});
    record.validators["127.0.0.1:" + std::to_string(server.Port())] = "etag \"v\"";
    ASSERT_TRUE(SaveResumeRecord(ResumeRecordPath(copy), record).Ok());
    CHttp http = NewHttp();
    EXPECT_TRUE(http.ConfirmCopy(server.Url("/same"), copy));
    EXPECT_FALSE(http.ConfirmCopy(server.Url("/changed"), copy));     // If-Range: a 200
    EXPECT_FALSE(http.ConfirmCopy(server.Url("/other-tail"), copy));  // other last bytes
    EXPECT_FALSE(http.ConfirmCopy(server.Url("/missing"), copy));
    EXPECT_EQ(server.Ranges().front(), "bytes=134464-");
}

TEST(ResumeRecordText, RefusesWhatItDidNotWrite) {
    TempDir dir;
    const std::string path = dir / "r.meta";
    for (const std::string text : {
             "",
             "downloader-partial 1\n",                           // no synced length
             "downloader-partial 1\nsynced 12x\n",               // not a number
             "downloader-partial 1\nsynced 1\nvalidator h x\n",  // unknown validator kind
             "downloader-partial 1\nsynced 1\nsha256 abc\n",     // not a digest
             "downloader-partial 2\nsynced 1\n",                 // another format
             "downloader-partial 1\nsynced 1\nsecret 1\n",
         }) {
        WriteFile(path, text);
        EXPECT_FALSE(LoadResumeRecord(path)) << text;
    }
    ResumeRecord record;
    record.url = "http://h/a b";
    record.synced = 7;
    record.validators["h:80"] = "date Wed, 21 Oct 2015 07:28:00 GMT";
    record.validators["bad:80"] = "etag \"x\r\nInjected: 1\"";  // never written
    ASSERT_TRUE(SaveResumeRecord(path, record).Ok());
    const auto loaded = LoadResumeRecord(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->url, record.url);
    EXPECT_EQ(loaded->synced, 7u);
    EXPECT_EQ(loaded->IfRangeFor("h:80"), "Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_FALSE(loaded->IfRangeFor("bad:80"));
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::nullopt), std::nullopt);
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::string("Mon")), "date Mon");
    EXPECT_EQ(ValidatorOf(std::string("\"s\""), std::string("Mon")), "etag \"s\"");
}
