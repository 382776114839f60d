// The client's byte-for-byte text fetch and its https handling, against real servers on
// 127.0.0.1: plain HTTP, and TLS with a CA made for the test by the openssl tool.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "base/UniqueFd.h"
#include "net/FailureText.h"
#include "net/Http.h"
#include "tests/support/TempDir.h"

namespace {
using namespace std::string_literals;

// A server of either kind on an ephemeral port, listening until destroyed.
class Listening {
  public:
    explicit Listening(std::unique_ptr<httplib::Server> server) : m_server(std::move(server)) {
        if (!m_server->is_valid()) return;  // Port() stays 0
        m_port = m_server->bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server->listen_after_bind(); });
        while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~Listening() {
        m_server->stop();
        if (m_thread.joinable()) m_thread.join();
    }
    httplib::Server& operator*() { return *m_server; }
    int Port() const { return m_port; }

  private:
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::thread m_thread;
};

// A CA, a server certificate it issued for 127.0.0.1, and a self-signed one for the same name.
class TestPki {
  public:
    TestPki() {
        const std::string d = m_dir.Path();
        WriteFile(m_dir / "make-pki.sh",
                  "set -e\nexec >openssl.out 2>&1\n"
                  "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
                  "-subj /CN=downloader-test-ca\n"
                  "openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr "
                  "-subj /CN=127.0.0.1\n"
                  "printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext\n"
                  "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial "
                  "-out server.pem -days 2 -extfile san.ext\n"
                  "openssl req -x509 -newkey rsa:2048 -nodes -keyout self.key -out self.pem "
                  "-days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1\n");
        m_ok = std::system(("cd '" + d + "' && sh make-pki.sh").c_str()) == 0 &&
               FileExists(m_dir / "server.pem") && FileExists(m_dir / "self.pem");
    }
    bool Ok() const { return m_ok; }
    std::string operator/(const std::string& name) const { return m_dir / name; }

  private:
    TempDir m_dir;
    bool m_ok = false;
};

class SecureFetch : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::signal(SIGPIPE, SIG_IGN);
        s_pki = new TestPki;
    }
    static void TearDownTestSuite() {
        delete s_pki;
        s_pki = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_pki->Ok()) << "openssl could not make the test CA"; }

    static std::unique_ptr<httplib::Server> TlsServer(const char* certificate, const char* key) {
        return std::make_unique<httplib::SSLServer>((*s_pki / certificate).c_str(),
                                                    (*s_pki / key).c_str());
    }
    std::unique_ptr<CHttp> NewHttp(bool trustTestCa = true) {
        auto http = std::make_unique<CHttp>("downloader", m_quit, m_dir / "log");
        if (trustTestCa) http->SetCaFile(*s_pki / "ca.pem");
        return http;
    }
    static std::string Url(const char* scheme, const Listening& server, const char* path) {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(server.Port()) + path;
    }

    static TestPki* s_pki;
    TempDir m_dir;
    std::atomic<int> m_quit{0};
};
TestPki* SecureFetch::s_pki = nullptr;

void ServeSigned(httplib::Server& s, std::string body) {
    s.Get("/reply", [body](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Update-Signature", "k1 c2ln");
        res.set_content(body, "application/json");
    });
}

struct RawCase {
    const char* name;
    std::string body;
    std::size_t limit;
    NetFailure failure;
    std::size_t bytesKept;
};

void PrintTo(const RawCase& c, std::ostream* os) {
    *os << c.name;
}

class RawBody : public SecureFetch, public testing::WithParamInterface<RawCase> {};

TEST_P(RawBody, IsTakenByteForByteUpToItsLimit) {
    const RawCase& c = GetParam();
    Listening server(std::make_unique<httplib::Server>());
    ServeSigned(*server, c.body);
    auto owner = NewHttp();
    CHttp& http = *owner;
    std::string body;
    std::optional<std::string> header;
    const NetResult result = http.FetchRawText(Url("http", server, "/reply"), c.limit,
                                               "X-Update-Signature", body, header);
    EXPECT_EQ(result.Failure(), c.failure) << result.Detail();
    EXPECT_EQ(body, c.body.substr(0, c.bytesKept));
    EXPECT_EQ(header, std::optional<std::string>("k1 c2ln"));
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, RawBody,
    testing::Values(
        RawCase{"blanks_and_nul", " {\"a\":\0 1}\r\n"s, 100, NetFailure::None, 12},
        RawCase{"exactly_the_limit", std::string(5000, 'x'), 5000, NetFailure::None, 5000},
        // Reading stops one byte past the limit, whatever follows.
        RawCase{"one_past_the_limit", std::string(5001, 'y'), 5000, NetFailure::TooLarge, 5001},
        RawCase{"far_past_the_limit", std::string(8 << 20, 'z'), 5000, NetFailure::TooLarge, 5001}),
    [](const testing::TestParamInfo<RawCase>& info) { return std::string(info.param.name); });

TEST_F(SecureFetch, VerifiedHttpsServerAnswersAndAMissingHeaderIsNothing) {
    Listening server(TlsServer("server.pem", "server.key"));
    ASSERT_GT(server.Port(), 0);
    (*server).Get("/plain", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("body", "text/plain");
    });
    auto owner = NewHttp();
    CHttp& http = *owner;
    std::string body;
    std::optional<std::string> header;
    const NetResult result =
        http.FetchRawText(Url("https", server, "/plain"), 100, "X-Update-Signature", body, header);
    EXPECT_TRUE(result.Ok()) << result.Detail();
    EXPECT_EQ(body, "body");
    EXPECT_FALSE(header);
}

struct RefusedCase {
    const char* name;
    const char* certificate;
    const char* key;
    bool trustTestCa;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class UnverifiedServer : public SecureFetch, public testing::WithParamInterface<RefusedCase> {};

TEST_P(UnverifiedServer, IsRefusedForTextAndDownloadsAndLogged) {
    const RefusedCase& c = GetParam();
    Listening server(TlsServer(c.certificate, c.key));
    ASSERT_GT(server.Port(), 0);
    ServeSigned(*server, "secret");
    (*server).Get("/setup.exe", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(10000, 's'), "application/octet-stream");
    });
    auto owner = NewHttp(c.trustTestCa);
    CHttp& http = *owner;
    std::string body;
    std::optional<std::string> header;
    const NetResult result =
        http.FetchRawText(Url("https", server, "/reply"), 100, "X-Update-Signature", body, header);
    // A certificate the system does not trust (a network's inspection box, say) has words of
    // its own for the person.
    EXPECT_EQ(result.Failure(), NetFailure::Untrusted) << result.Detail();
    EXPECT_EQ(UserTextFor(result),
              "安全连接的证书不受信任，当前网络可能在检查加密连接，请更换网络后重试！");
    EXPECT_EQ(body, "");

    const std::string url = Url("https", server, "/setup.exe");
    EXPECT_EQ(http.DownHttpFile(nullptr, url, m_dir / "setup.exe"), 0);
    EXPECT_FALSE(FileExists(m_dir / "setup.exe"));
    EXPECT_NE(ReadFile(m_dir / "log").find(url + ":"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, UnverifiedServer,
    testing::Values(RefusedCase{"self_signed", "self.pem", "self.key", true},
                    // The system's store does not know the test's CA.
                    RefusedCase{"unknown_ca", "server.pem", "server.key", false}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST_F(SecureFetch, RedirectFromHttpsToHttpIsRefused) {
    Listening plain(std::make_unique<httplib::Server>());
    ServeSigned(*plain, "downgraded");
    (*plain).Get("/setup.exe", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("downgraded", "application/octet-stream");
    });
    Listening secure(TlsServer("server.pem", "server.key"));
    ASSERT_GT(secure.Port(), 0);
    const std::string target = Url("http", plain, "");
    (*secure).Get(R"(/(.*))", [target](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(target + req.path);
    });
    auto owner = NewHttp();
    CHttp& http = *owner;
    std::string body;
    std::optional<std::string> header;
    const NetResult result =
        http.FetchRawText(Url("https", secure, "/reply"), 100, "X-Update-Signature", body, header);
    EXPECT_EQ(result.Failure(), NetFailure::Insecure) << result.Detail();
    EXPECT_EQ(http.DownHttpFile(nullptr, Url("https", secure, "/setup.exe"), m_dir / "setup.exe"),
              0);
    EXPECT_FALSE(FileExists(m_dir / "setup.exe"));
}

TEST_F(SecureFetch, DownloadOverVerifiedHttpsCompletes) {
    const std::string file(300000, 'f');
    Listening server(TlsServer("server.pem", "server.key"));
    ASSERT_GT(server.Port(), 0);
    (*server).Get("/setup.exe", [file](const httplib::Request&, httplib::Response& res) {
        res.set_content(file, "application/octet-stream");
    });
    auto owner = NewHttp();
    CHttp& http = *owner;
    EXPECT_EQ(http.DownHttpFile(nullptr, Url("https", server, "/setup.exe"), m_dir / "setup.exe"),
              1)
        << http.LastError();
    EXPECT_TRUE(ReadFile(m_dir / "setup.exe") == file);
}

// A proxy that opens tunnels (CONNECT), as https through a proxy needs, to 127.0.0.1 only. It
// answers with 200 when the request carries the expected Proxy-Authorization, and with 407
// asking for Basic credentials otherwise. One connection at a time.
class TunnelProxy {
  public:
    explicit TunnelProxy(std::string expected) : m_expected(std::move(expected)) {
        m_listener = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (::bind(m_listener.get(), any, length) != 0 || ::listen(m_listener.get(), 8) != 0 ||
            ::getsockname(m_listener.get(), any, &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~TunnelProxy() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    int Port() const { return m_port; }

  private:
    static bool Readable(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 50) > 0;
    }
    void Run() {
        while (!m_stop) {
            if (!Readable(m_listener.get())) continue;
            UniqueFd client(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client) Serve(client.get());
        }
    }
    void Serve(int client) {
        for (;;) {  // requests on this connection until one opens a tunnel
            std::string request;
            char c = 0;
            while (request.find("\r\n\r\n") == std::string::npos) {
                if (m_stop || !Readable(client)) {
                    if (m_stop) return;
                    continue;
                }
                if (::read(client, &c, 1) != 1) return;
                request += c;
            }
            const auto port = request.substr(request.find(':') + 1);
            if (request.find("Proxy-Authorization: " + m_expected + "\r\n") == std::string::npos) {
                const std::string refusal =
                    "HTTP/1.1 407 Proxy Authentication Required\r\n"
                    "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n";
                if (::write(client, refusal.data(), refusal.size()) < 0) return;
                continue;
            }
            UniqueFd server(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<uint16_t>(std::atoi(port.c_str())));
            if (::connect(server.get(), reinterpret_cast<sockaddr*>(&address), sizeof address))
                return;
            const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
            if (::write(client, established.data(), established.size()) < 0) return;
            Relay(client, server.get());
            return;
        }
    }
    void Relay(int a, int b) {
        char buffer[16384];
        while (!m_stop) {
            pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
            if (::poll(p, 2, 50) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
                const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
                if (n <= 0 || ::write(p[1 - i].fd, buffer, static_cast<std::size_t>(n)) != n)
                    return;
            }
        }
    }

    std::string m_expected;
    UniqueFd m_listener;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

struct TunnelCase {
    const char* name;
    const char* userInfo;  // in the proxy address
    bool completes;
};

class ThroughTunnel : public SecureFetch, public testing::WithParamInterface<TunnelCase> {};

TEST_P(ThroughTunnel, TakesOnlyTheServersAnswerAndNeverLogsTheCredentials) {
    const TunnelCase& c = GetParam();
    const std::string file = std::string(100000, 't') + "end";
    Listening server(TlsServer("server.pem", "server.key"));
    ASSERT_GT(server.Port(), 0);
    (*server).Get("/setup.exe", [file](const httplib::Request&, httplib::Response& res) {
        res.set_header("ETag", "\"tunnelled\"");
        res.set_content(file, "application/octet-stream");
    });
    TunnelProxy proxy("Basic dXNlcjpzM2NyZXQ=");  // user:s3cret
    ASSERT_GT(proxy.Port(), 0);
    const std::string proxyUrl =
        "http://"s + c.userInfo + "127.0.0.1:" + std::to_string(proxy.Port());
    setenv("https_proxy", proxyUrl.c_str(), 1);
    setenv("no_proxy", "", 1);
    auto owner = NewHttp();
    CHttp& http = *owner;
    const int result =
        http.DownHttpFile(nullptr, Url("https", server, "/setup.exe"), m_dir / "setup.exe");
    unsetenv("https_proxy");
    unsetenv("no_proxy");
    EXPECT_EQ(result, c.completes ? 1 : 0) << http.LastError();
    if (c.completes) {
        EXPECT_TRUE(ReadFile(m_dir / "setup.exe") == file);
        // The headers kept are the server's, not the proxy's "Connection established".
        EXPECT_NE(ReadFile(m_dir / "setup.exe.meta").find("tunnelled"), std::string::npos);
    } else {
        EXPECT_NE(ReadFile(m_dir / "log").find("proxy refused its credentials"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(m_dir / "log").find("s3cret"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Tunnels, ThroughTunnel,
                         testing::Values(TunnelCase{"right_credentials", "user:s3cret@", true},
                                         TunnelCase{"wrong_credentials", "user:wrong@", false},
                                         TunnelCase{"no_credentials", "", false}),
                         [](const testing::TestParamInfo<TunnelCase>& info) {
                             return std::string(info.param.name);
                         });
}  // namespace
