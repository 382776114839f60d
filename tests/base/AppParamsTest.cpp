#include "base/AppParams.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

TEST(AppParams, NamesAreCaseSensitiveAndAbsentOnesAreAddedEmpty) {
    CAppParams params;
    params.Set("Version", "velmora");
    EXPECT_EQ(params.Get("Version"), "velmora");
    EXPECT_FALSE(params.Contains("version"));
    EXPECT_EQ(params.Get("version"), "");
    EXPECT_TRUE(params.Contains("version"));

    params.Set("version", "later");
    EXPECT_EQ(params.Get("version"), "later");
    EXPECT_EQ(params.Get("Version"), "velmora");
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(params.Entries(), (Entries{{"Version", "velmora"}, {"version", "later"}}));
}

TEST(AppParams, LookupsAndTheWorkersWriteMayOverlap) {
    CAppParams params;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) params.Set("AppPath", "/tmp/u/setup" + std::to_string(i));
    });
    std::thread page([&] {
        for (int i = 0; i < 2000; ++i) params.Get("Name" + std::to_string(i % 50));
    });
    for (int i = 0; i < 2000; ++i) params.Entries();
    worker.join();
    page.join();
    EXPECT_EQ(params.Get("AppPath"), "/tmp/u/setup1999");
    EXPECT_EQ(params.Entries().size(), 51u);
}
