#include "net/UrlParts.h"

#include <gtest/gtest.h>

TEST(SplitHttpUrl, SplitsServerPortAndObject) {
    struct Case {
        const char* url;
        const char* server;
        unsigned port;
        const char* object;
    } cases[] = {
        {"http://example.test/tools/updateinfo.php?type=1&v=2", "example.test", 80,
         "/tools/updateinfo.php?type=1&v=2"},
        {"http://127.0.0.1:8080/a%20b", "127.0.0.1", 8080, "/a%20b"},
        {"http://example.test", "example.test", 80, "/"},
        {"HTTP://Example.test:81/x", "Example.test", 81, "/x"},
        {"http://[::1]:9/", "[::1]", 9, "/"},
        // Spaces are part of the address and go out escaped; escapes already there stay.
        {"http://example.test/my setup.exe?channel=gen eral&v=%41", "example.test", 80,
         "/my%20setup.exe?channel=gen+eral&v=%41"},
        {"http://example.test/2/..?", "example.test", 80, "/"},
    };
    for (const auto& c : cases) {
        auto parts = SplitHttpUrl(c.url);
        ASSERT_TRUE(parts) << c.url;
        EXPECT_EQ(parts->server, c.server) << c.url;
        EXPECT_EQ(parts->port, c.port) << c.url;
        EXPECT_EQ(parts->object, c.object) << c.url;
    }
}

TEST(SplitHttpUrl, RefusesEverythingButHttp) {
    for (const char* url : {"https://example.test/", "ftp://example.test/file",
                            "file:///etc/passwd", "example.test/file", "not a url", "", "http://",
                            "http:/%7f2tp:/.", "http://exa%20mple.test/", "http:/%1%33"})
        EXPECT_FALSE(SplitHttpUrl(url)) << url;
}
