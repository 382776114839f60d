// A proxy from the environment that asks for credentials, one that refuses them, and a disk
// too small for what remains: each ends as the user needs, and no secret reaches the log.

#include <cstdlib>

#include "net/Http.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/LocalHttpServer.h"

namespace {
const std::string kFile = PseudoRandomBytes(300000, 9);

// Sets an environment variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A proxy that answers for the origin itself when the request carries the expected
// Proxy-Authorization, and asks for Basic credentials otherwise.
void ServeAsProxy(httplib::Server& s, std::string expected) {
    s.Get(".*", [expected](const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Proxy-Authorization") != expected) {
            res.status = 407;
            res.set_header("Proxy-Authenticate", "Basic realm=\"test\"");
            return;
        }
        res.set_content(kFile, "application/octet-stream");
    });
}

struct ProxyCase {
    const char* name;
    const char* userInfo;  // in the proxy address
    int result;
};

class EachProxy : public NetTest, public testing::WithParamInterface<ProxyCase> {};
}  // namespace

TEST_P(EachProxy, UsesTheCredentialsAndNeverLogsThem) {
    const ProxyCase& c = GetParam();
    // "user:s3cret" in base64
    LocalHttpServer proxy(
        [](LocalHttpServer&, httplib::Server& s) { ServeAsProxy(s, "Basic dXNlcjpzM2NyZXQ="); });
    ScopedEnv http("http_proxy", std::string("http://") + c.userInfo +
                                     "127.0.0.1:" + std::to_string(proxy.Port()));
    ScopedEnv no("no_proxy", "");
    CHttp client = NewHttp();
    const std::string url = "http://origin.invalid/setup.exe";
    const NetResult result =
        client.DownloadFile(nullptr, url, Path("setup.exe"), DownloadTarget{url, "", 0});
    EXPECT_EQ(result.Ok() ? 1 : 0, c.result);
    if (c.result == 1) {
        EXPECT_TRUE(ReadFile(Path("setup.exe")) == kFile);
    } else {
        EXPECT_EQ(result.Status(), 407);
        EXPECT_NE(client.LastError().find("proxy refused its credentials"), std::string::npos)
            << client.LastError();
    }
    const std::string log = FileExists(Path("log")) ? ReadFile(Path("log")) : "";
    EXPECT_EQ(log.find("s3cret"), std::string::npos);
    EXPECT_EQ(client.LastError().find("s3cret"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Proxies, EachProxy,
                         testing::Values(ProxyCase{"right_credentials", "user:s3cret@", 1},
                                         ProxyCase{"wrong_credentials", "user:wrong@", 0},
                                         ProxyCase{"no_credentials", "", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NetTest, ADiskTooSmallStopsBeforeTheTransferAndSaysHowMuchIsNeeded) {
    LocalHttpServer server([](LocalHttpServer& owner, httplib::Server& s) {
        ServeFile(owner, s, "/f", {.content = kFile});
    });
    WriteFile(Path("setup.exe.df"), kFile.substr(0, 100000));
    CHttp http = NewHttp();
    http.SetFreeSpaceProbe([](const std::string&) { return std::uint64_t{150000}; });
    const DownloadTarget target{server.Url("/f"), "", 0};
    EXPECT_EQ(http.DownloadFile(nullptr, target.mainUrl, Path("setup.exe"), target).Failure(),
              NetFailure::NoSpace);
    EXPECT_EQ(http.LastError(), "磁盘空间不足，需要 0.2 MB，请清理后重试！");
    // Nothing on disk is lost: the partial stays for a later attempt.
    EXPECT_TRUE(ReadFile(Path("setup.exe.df")) == kFile.substr(0, 100000));

    http.SetFreeSpaceProbe([](const std::string&) { return std::uint64_t{200000}; });
    EXPECT_EQ(http.DownHttpFile(nullptr, server.Url("/f"), Path("setup.exe")), 1);
    EXPECT_TRUE(ReadFile(Path("setup.exe")) == kFile);
}
