// A complete copy from an earlier run counts only while its server vouches for it: the
// recorded validator still holds and the last bytes it sends are those on disk.

#include "net/Http.h"
#include "net/ResumeRecord.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kOld = PseudoRandomBytes(200000, 1);
const std::string kNew = PseudoRandomBytes(200000, 2);
}  // namespace

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
