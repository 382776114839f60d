// No exchange goes on for ever: a server that drips a few bytes at a time fails every kind of
// exchange within its limit, the installer's body by the rate floor.

#include <chrono>
#include <functional>

#include "tests/net/NetTestSupport.h"
#include "tests/support/CaseName.h"
#include "tests/support/LocalHttpServer.h"

namespace {
// About 20 bytes a second: above the stall's 1 byte a second, far below the floor.
const ServedFile kDrip{.content = PseudoRandomBytes(100000),
                       .pieceBytes = 2,
                       .pauseBetweenPieces = std::chrono::milliseconds(100)};
const CTransferLimits kShort{.connectTimeoutSeconds = 5,
                             .stallSeconds = 5,
                             .exchangeSeconds = 1,
                             .minBytesPerSecond = 1024,
                             .rateWindowSeconds = 2};

struct DripCase {
    const char* name;
    // Runs the exchange against url; false when it failed as it should.
    std::function<bool(CHttp&, const std::string& url, const std::string& dir)> failsInTime;
};

std::vector<DripCase> Cases() {
    return {
        {"update reply",
         [](CHttp& http, const std::string& url, const std::string&) {
             std::string body;
             std::optional<std::string> header;
             return http.FetchRawText(url, 1 << 20, "X-None", body, header).Failure() ==
                    NetFailure::Stalled;
         }},
        {"text request",
         [](CHttp& http, const std::string& url, const std::string&) {
             std::string text;
             return http.FetchText(url, "GET", "", text).Failure() == NetFailure::Stalled;
         }},
        {"check of a complete copy",
         [](CHttp& http, const std::string& url, const std::string& dir) {
             WriteFile(dir + "/copy.exe", kDrip.content);
             return !http.ConfirmCopy(url, dir + "/copy.exe");
         }},
        {"installer body, by the rate floor",
         [](CHttp& http, const std::string& url, const std::string& dir) {
             const NetResult result =
                 http.DownloadFile(nullptr, url, dir + "/setup.exe", DownloadTarget{url, "", 0});
             // Bytes kept this slowly are no progress a retry could count on.
             return result.Failure() == NetFailure::Stalled && result.BytesGained() == 0;
         }},
    };
}

class EachExchange : public NetTest, public testing::WithParamInterface<DripCase> {};
}  // namespace

TEST_P(EachExchange, EndsWithinItsLimit) {
    LocalHttpServer server(
        [](LocalHttpServer& owner, httplib::Server& s) { ServeFile(owner, s, "/f", kDrip); });
    CHttp http = NewHttp();
    http.SetTransferLimits(kShort);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(GetParam().failsInTime(http, server.Url("/f"), m_dir.Path()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

INSTANTIATE_TEST_SUITE_P(Drips, EachExchange, testing::ValuesIn(Cases()), NameOfCase());
