// The client's byte-for-byte text fetch and its https handling, against real servers on
// 127.0.0.1: plain HTTP, and TLS with a CA made for the test by the openssl tool.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

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
    EXPECT_EQ(result.Failure(), NetFailure::Insecure) << result.Detail();
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
}  // namespace
