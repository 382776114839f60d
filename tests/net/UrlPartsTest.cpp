#include "net/UrlParts.h"

#include <gtest/gtest.h>

namespace {
struct UrlCase {
    const char* url;
    const char* server;
    unsigned port;
    const char* object;
    const char* scheme = "http";
};

void PrintTo(const UrlCase& c, std::ostream* os) {
    *os << c.url;
}

class SplitHttpUrlParts : public testing::TestWithParam<UrlCase> {};
}  // namespace

TEST_P(SplitHttpUrlParts, AreServerPortAndObject) {
    const UrlCase& c = GetParam();
    auto parts = SplitHttpUrl(c.url);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->server, c.server);
    EXPECT_EQ(parts->port, c.port);
    EXPECT_EQ(parts->object, c.object);
    EXPECT_EQ(parts->scheme, c.scheme);
    // The address a request goes to keeps the scheme: https is never turned into http.
    EXPECT_EQ(JoinHttpUrl(parts->scheme, parts->server, parts->port, parts->object)
                  .rfind(std::string(c.scheme) + "://", 0),
              0u);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SplitHttpUrlParts,
    testing::Values(UrlCase{"http://example.test/tools/updateinfo.php?type=1&v=2", "example.test",
                            80, "/tools/updateinfo.php?type=1&v=2"},
                    UrlCase{"http://127.0.0.1:8080/a%20b", "127.0.0.1", 8080, "/a%20b"},
                    UrlCase{"http://example.test", "example.test", 80, "/"},
                    UrlCase{"HTTP://Example.test:81/x", "Example.test", 81, "/x"},
                    UrlCase{"http://[::1]:9/", "[::1]", 9, "/"},
                    // Spaces are part of the address and go out escaped; escapes already
                    // there stay.
                    UrlCase{"http://example.test/my setup.exe?channel=gen eral&v=%41",
                            "example.test", 80, "/my%20setup.exe?channel=gen+eral&v=%41"},
                    UrlCase{"http://example.test/2/..?", "example.test", 80, "/"},
                    UrlCase{"https://example.test/setup.exe", "example.test", 443, "/setup.exe",
                            "https"},
                    UrlCase{"HTTPS://127.0.0.1:8443/", "127.0.0.1", 8443, "/", "https"}));

TEST(SplitHttpUrl, RefusesEverythingButHttpAndHttps) {
    for (const char* url : {"ftp://example.test/file", "httpss://example.test/",
                            "file:///etc/passwd", "example.test/file", "not a url", "", "http://",
                            "http:/%7f2tp:/.", "http://exa%20mple.test/", "http:/%1%33"})
        EXPECT_FALSE(SplitHttpUrl(url)) << url;
}
