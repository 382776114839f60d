// CHttp's text requests and size queries against a real local server.

#include <atomic>
#include <chrono>
#include <thread>

#include "net/Http.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/LocalHttpServer.h"

namespace {
using namespace std::string_literals;

constexpr char kDownloadAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

void ServeEcho(httplib::Server& s) {
    auto echo = [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(
            req.method + " " + req.get_header_value("Content-Type") + " [" + req.body + "]",
            "text/plain");
    };
    s.Get("/echo", echo);
    s.Post("/echo", echo);
}

class HttpRequest : public NetTest {};
}  // namespace

namespace {
struct TrimCase {
    std::string body;
    std::string expected;
};

class TextAnswer : public NetTest, public testing::WithParamInterface<TrimCase> {};
}  // namespace

TEST_P(TextAnswer, IsTheBodyOfA200TrimmedAtBothEnds) {
    LocalHttpServer server([&](LocalHttpServer&, httplib::Server& s) {
        ServeFixed(s, "/info", 200, GetParam().body);
    });
    CHttp http = NewHttp();
    EXPECT_EQ(http.SendHttpRequest(server.Url("/info"), "GET", ""), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, TextAnswer,
    testing::Values(TrimCase{" \t\r\n {\"url\": \"x\"}\t \r\n", "{\"url\": \"x\"}"},
                    TrimCase{"inner  white\tspace stays", "inner  white\tspace stays"},
                    TrimCase{" \r\n\t ", ""},
                    // A zero byte cuts the rest of its 1024-byte piece; later pieces are kept.
                    TrimCase{"abc\0"s + std::string(1020, 'd') + "tail", "abctail"},
                    TrimCase{std::string(1024, 'a') + "b\0c"s + std::string(1021, 'e'),
                             std::string(1024, 'a') + "b"}));

TEST_F(HttpRequest, OtherStatusesGiveTheEmptyTextEvenWithABody) {
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) {
        ServeFixed(s, "/forbidden", 403, "forbidden page");
        ServeFixed(s, "/broken", 500, "server error page");
        ServeFixed(s, "/created", 201, "created");
    });
    CHttp http = NewHttp();
    for (const char* path : {"/forbidden", "/broken", "/created", "/missing"})
        EXPECT_EQ(http.SendHttpRequest(server.Url(path), "GET", ""), "") << path;
    EXPECT_EQ(server.RequestCount(), 4u);
}

TEST_F(HttpRequest, OnlyTheExactVerbPostSendsAForm) {
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) { ServeEcho(s); });
    CHttp http = NewHttp();
    EXPECT_EQ(http.SendHttpRequest(server.Url("/echo"), "POST", "a=1&b=%20"),
              "POST application/x-www-form-urlencoded [a=1&b=%20]");
    EXPECT_EQ(http.SendHttpRequest(server.Url("/echo"), "POST", ""),
              "POST application/x-www-form-urlencoded []");
    // The body ends at its first zero byte.
    EXPECT_EQ(http.SendHttpRequest(server.Url("/echo"), "POST", "a=1\0b=2"s),
              "POST application/x-www-form-urlencoded [a=1]");
    EXPECT_EQ(http.SendHttpRequest(server.Url("/echo"), "post", "a=1"), "GET  []");
    EXPECT_EQ(http.SendHttpRequest(server.Url("/echo"), "GET", "a=1"), "GET  []");
}

TEST_F(HttpRequest, TextRequestsCarryTheApplicationNameAsAgent) {
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) { ServeEcho(s); });
    CHttp http = NewHttp();
    http.SendHttpRequest(server.Url("/echo"), "GET", "");
    http.GetHttpFileSize(server.Url("/echo"));
    auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Header("User-Agent"), kAgent);
    EXPECT_FALSE(seen[0].headers.count("Accept"));
    EXPECT_EQ(seen[1].Header("User-Agent"), kDownloadAgent);
    EXPECT_EQ(seen[1].Header("Accept"), "*/*");
}

TEST_F(HttpRequest, OnlyHttpUrlsAreServedAndOthersCauseNoTraffic) {
    LocalHttpServer server(
        [](LocalHttpServer&, httplib::Server& s) { ServeFixed(s, "/info", 200, "answer"); });
    const std::string hostPort = "127.0.0.1:" + std::to_string(server.Port());
    CHttp http = NewHttp();
    for (const std::string& url : {"https://" + hostPort + "/info", "ftp://" + hostPort + "/info",
                                   hostPort + "/info", "garbage"s, ""s}) {
        EXPECT_EQ(http.SendHttpRequest(url, "GET", ""), "") << url;
        EXPECT_EQ(http.GetHttpFileSize(url), 0) << url;
    }
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(HttpRequest, QuitWhileReadingReturnsTheTextSoFar) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/info", {.content = "  partial text  and the rest", .stallAfter = 16});
    });
    std::thread raiser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_quit = 1;
    });
    auto start = std::chrono::steady_clock::now();
    CHttp http = NewHttp();
    std::string text = http.SendHttpRequest(server.Url("/info"), "GET", "");
    raiser.join();
    EXPECT_EQ(text, "partial text");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(HttpRequest, FileSizeIsTheAnnouncedLengthReadAs64Bits) {
    constexpr std::size_t kHuge = 5'000'000'000;
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = std::string(12345, 'x')});
        ServeFile(owner, s, "/chunked", {.content = "abc", .chunked = true});
        ServeFixed(s, "/gone", 404, "not here");
        ServeFixed(s, "/forbidden", 403, "forbidden");
        s.Get("/huge", [&owner](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(kHuge, "application/octet-stream",
                                     [&owner](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         static const std::string piece(65536, 'z');
                                         return !owner.Stopping() &&
                                                sink.write(piece.data(), piece.size());
                                     });
        });
    });
    CHttp http = NewHttp();
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/file")), 12345);
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/huge")), static_cast<std::int64_t>(kHuge));
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/chunked")), 0);
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/gone")), 0);
    // Only 404 means missing: any other answer gives its announced length.
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/forbidden")), 9);
    EXPECT_EQ(http.GetHttpFileSize(server.Url("/file")), 12345);  // still usable afterwards
}

TEST_F(HttpRequest, TransferErrorsGiveZeroAndEmptyText) {
    int port = 0;
    {
        LocalHttpServer gone([](LocalHttpServer&, httplib::Server&) {});
        port = gone.Port();
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/info";
    CHttp http = NewHttp();
    EXPECT_EQ(http.GetHttpFileSize(url), 0);
    EXPECT_EQ(http.SendHttpRequest(url, "GET", ""), "");
}

TEST_F(HttpRequest, OneSessionServesEveryOperationOverOneConnection) {
    const std::string file = PseudoRandomBytes(200000);
    LocalHttpServer server([&](LocalHttpServer& owner, httplib::Server& s) {
        ServeFixed(s, "/info", 200, "{\"url\":\"x\"}");
        ServeFile(owner, s, "/file", {.content = file});
    });
    CHttp http = NewHttp();
    EXPECT_EQ(http.SendHttpRequest(server.Url("/info"), "GET", ""), "{\"url\":\"x\"}");
    EXPECT_EQ(http.SendHttpRequest(server.Url("/info"), "GET", ""), "{\"url\":\"x\"}");
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/file"), Path("setup.exe")), 1);
    EXPECT_EQ(http.SendHttpRequest(server.Url("/info"), "GET", ""), "{\"url\":\"x\"}");
    EXPECT_EQ(ReadFile(Path("setup.exe")), file);
    EXPECT_EQ(server.RequestCount(), 4u);
    EXPECT_EQ(server.ConnectionCount(), 1u);
}

// A text request is held to its bound in its own read loop: a body over it gives the empty
// text, not a prefix that might parse, and an endless one is not read on.
TEST_F(HttpRequest, ABodyOverItsBoundGivesNothingAndIsNotReadOn) {
    constexpr std::size_t kBound = 64 * 1024;
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) {
        ServeFixed(s, "/fits", 200, std::string(kBound, 'a'));
        ServeFixed(s, "/over", 200, std::string(kBound + 1, 'a'));
        s.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain",
                                             [](std::size_t, httplib::DataSink& sink) {
                                                 static const std::string piece(1 << 16, 'x');
                                                 return sink.write(piece.data(), piece.size());
                                             });
        });
    });
    CHttp http = NewHttp();
    std::string text;
    EXPECT_TRUE(http.FetchText(server.Url("/fits"), "GET", "", text, kBound).Ok());
    EXPECT_EQ(text.size(), kBound);
    EXPECT_EQ(http.FetchText(server.Url("/over"), "GET", "", text, kBound).Failure(),
              NetFailure::TooLarge);
    EXPECT_EQ(text, "");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(http.SendHttpRequest(server.Url("/endless"), "GET", "", kBound), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}
