// The transfer adapter on its own: a request as a pull stream over a real local server.

#include "net/HttpFile.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "net/HttpConnection.h"
#include "net/InternetSession.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kBody = PseudoRandomBytes(1 << 20);

struct Transfer {
    explicit Transfer(const LocalHttpServer& server, const std::string& object,
                      CTransferLimits limits = {})
        : session("tester", stop, limits),
          connection(session.GetHttpConnection("127.0.0.1", server.Port())),
          request(connection->OpenRequest(HttpVerb::Get, object, 0)) {}

    std::string ReadAll(std::size_t pieceBytes) {
        std::string out, piece(pieceBytes, '\0');
        for (;;) {
            std::size_t n = 0;
            result = request->Read(piece.data(), piece.size(), n);
            if (n == 0) break;
            EXPECT_LE(n, pieceBytes);
            out.append(piece, 0, n);
        }
        return out;
    }

    std::atomic<int> stop{0};
    NetResult result;  // of the last Read
    CInternetSession session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;
};
}  // namespace

TEST(HttpFile, HandsOutTheWholeBodyInPiecesOfAnySize) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = kBody});
        ServeFile(owner, s, "/chunked", {.content = kBody, .chunked = true, .pieceBytes = 10000});
    });
    for (const char* object : {"/file", "/chunked"}) {
        for (std::size_t piece :
             {std::size_t{1} << 20, std::size_t{4096}, std::size_t{1000}, std::size_t{7}}) {
            Transfer transfer(server, object);
            ASSERT_TRUE(transfer.request->SendRequest().Ok());
            EXPECT_EQ(transfer.request->QueryInfoStatusCode(), 200);
            EXPECT_EQ(transfer.ReadAll(piece), kBody) << object << " in pieces of " << piece;
            EXPECT_TRUE(transfer.request->BodyComplete());
            std::size_t none = 1;
            EXPECT_TRUE(transfer.request->Read(nullptr, 0, none).Ok());
            EXPECT_EQ(none, 0u);
        }
    }
}

TEST(HttpFile, ReportsLengthAndHeadersOfTheFinalAnswerAfterRedirects) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFixed(s, "/hop", 302, "moved", {{"Location", "/file"}});
        ServeFile(owner, s, "/file", {.content = kBody});
    });
    Transfer transfer(server, "/hop");
    ASSERT_TRUE(transfer.request->SendRequest().Ok());
    EXPECT_EQ(transfer.request->QueryInfoStatusCode(), 200);
    EXPECT_EQ(transfer.request->ContentLength(), static_cast<std::int64_t>(kBody.size()));
    EXPECT_FALSE(transfer.request->ResponseHeader("Location"));
    EXPECT_EQ(transfer.ReadAll(4096), kBody);
}

TEST(HttpFile, EndlessRedirectsFailAfterTen) {
    LocalHttpServer server([](LocalHttpServer&, httplib::Server& s) {
        ServeFixed(s, "/loop", 302, "", {{"Location", "/loop"}});
    });
    Transfer transfer(server, "/loop");
    EXPECT_EQ(transfer.request->SendRequest().Failure(), NetFailure::Transfer);
    EXPECT_EQ(server.RequestCount(), 11u);
}

TEST(HttpFile, HandsOutWhatArrivedBeforeReportingAConnectionClosedEarly) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = kBody, .closeAfter = 300000});
    });
    Transfer transfer(server, "/file");
    ASSERT_TRUE(transfer.request->SendRequest().Ok());
    EXPECT_EQ(transfer.ReadAll(4096), kBody.substr(0, 300000));
    EXPECT_EQ(transfer.result.Failure(), NetFailure::Interrupted) << "ended like a complete body";
    EXPECT_NE(transfer.result.Detail(), "");
    EXPECT_FALSE(transfer.request->BodyComplete());
}

TEST(HttpFile, ABlockedReadWakesForTheStopFlag) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = kBody, .stallAfter = 1000});
    });
    Transfer transfer(server, "/file");
    ASSERT_TRUE(transfer.request->SendRequest().Ok());
    std::thread raiser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        transfer.stop = 1;
    });
    auto start = std::chrono::steady_clock::now();
    std::string got = transfer.ReadAll(4096);
    auto waited = std::chrono::steady_clock::now() - start;
    raiser.join();
    EXPECT_EQ(got, kBody.substr(0, 1000));
    EXPECT_TRUE(transfer.request->Stopped());
    EXPECT_FALSE(transfer.request->BodyComplete());
    EXPECT_LT(waited, std::chrono::milliseconds(1500));
}

// libcurl averages the speed over a few seconds, so a stall is seen a few seconds late.
TEST(HttpFile, AStalledTransferFailsAfterTheStallTime) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = kBody, .stallAfter = 1000});
    });
    Transfer transfer(server, "/file", {.connectTimeoutSeconds = 60, .stallSeconds = 1});
    ASSERT_TRUE(transfer.request->SendRequest().Ok());
    auto start = std::chrono::steady_clock::now();
    transfer.ReadAll(4096);
    EXPECT_EQ(transfer.result.Failure(), NetFailure::Stalled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(HttpFile, ARefusedConnectionIsUnreachable) {
    int port = 0;
    {
        LocalHttpServer gone([](LocalHttpServer&, httplib::Server&) {});
        port = gone.Port();
    }
    std::atomic<int> stop{0};
    CInternetSession session("tester", stop);
    auto request = session.GetHttpConnection("127.0.0.1", static_cast<unsigned>(port))
                       ->OpenRequest(HttpVerb::Get, "/", 0);
    EXPECT_EQ(request->SendRequest().Failure(), NetFailure::Unreachable);
}

// WebKit's processes are started from the program and inherit what is not close-on-exec: the
// session's socket pair, its connections and (for a name) the lookup's pair must all be marked.
TEST(HttpFile, NoDescriptorOfATransferWouldReachAChildProcess) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/file", {.content = kBody});
    });
    auto openNow = [] {
        std::set<int> open;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            open.insert(std::stoi(entry.path().filename()));
        return open;
    };
    auto isServers = [&](int fd) {  // an accepted connection of the server thread
        sockaddr_in local{};
        socklen_t size = sizeof local;
        return ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) == 0 &&
               local.sin_family == AF_INET && ntohs(local.sin_port) == server.Port();
    };
    for (const char* host : {"127.0.0.1", "localhost"}) {
        const std::set<int> before = openNow();
        std::atomic<int> stop{0};
        CInternetSession session("tester", stop);
        auto connection = session.GetHttpConnection(host, server.Port());
        auto request = connection->OpenRequest(HttpVerb::Get, "/file", 0);
        ASSERT_TRUE(request->SendRequest().Ok()) << host;
        for (int fd : openNow()) {
            if (before.count(fd) || isServers(fd)) continue;
            const int flags = ::fcntl(fd, F_GETFD);
            EXPECT_TRUE(flags < 0 || (flags & FD_CLOEXEC)) << host << ": descriptor " << fd;
        }
    }
}
