#include "app/BuildAppParams.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <memory>

#include "app/DownloaderApp.h"
#include "base/AppParams.h"
#include "base/Format.h"
#include "tests/support/TempDir.h"

namespace {
std::tm Month(int year, int month) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = 15;
    return t;
}

std::unique_ptr<CAppParams> Filled(const std::string& modulePath,
                                   const std::tm& now = Month(2026, 12)) {
    auto params = std::make_unique<CAppParams>();
    FillAppParams(*params, modulePath, "/home/u/.cache/downloader/", now);
    return params;
}
}  // namespace

TEST(FillAppParams, SplitsTheModulePathAtTheLastSeparator) {
    auto params = Filled("/opt/web apps/downloader.bin");
    EXPECT_EQ(params->Get("AppDir"), "/opt/web apps");
    EXPECT_EQ(params->Get("AppName"), "downloader.bin");

    auto atRoot = Filled("/downloader");
    EXPECT_EQ(atRoot->Get("AppDir"), "");
    EXPECT_EQ(atRoot->Get("AppName"), "downloader");
}

TEST(FillAppParams, PathWithoutSeparatorIsAllName) {
    auto params = Filled("downloader");
    EXPECT_TRUE(params->Contains("AppDir"));
    EXPECT_EQ(params->Get("AppDir"), "");
    EXPECT_EQ(params->Get("AppName"), "downloader");
}

TEST(FillAppParams, PathEndingInSeparatorSetsNeitherDirNorName) {
    for (const char* path : {"/", "/home/u/", ""}) {
        auto params = Filled(path);
        EXPECT_FALSE(params->Contains("AppDir")) << path;
        EXPECT_FALSE(params->Contains("AppName")) << path;
        EXPECT_EQ(params->Get("AppName"), "") << path;
        EXPECT_EQ(params->Entries().size(), 5u) << path;  // the four others, and AppName now
    }
}

TEST(FillAppParams, LogJoinsWithADoubledSeparatorAndATwoDigitMonth) {
    EXPECT_EQ(Filled("/a/b", Month(2027, 1))->Get("Log"), "/home/u/.cache/downloader//log2027-01");
    EXPECT_EQ(Filled("/a/b", Month(2026, 12))->Get("Log"), "/home/u/.cache/downloader//log2026-12");
    EXPECT_EQ(Filled("/a/b")->Get("AppTmpPath"), "/home/u/.cache/downloader/");
}

TEST(FillAppParams, VersionAndChannelComeFromTheStringTable) {
    auto params = Filled("/a/b");
    EXPECT_EQ(params->Get("Version"), "velmora");
    EXPECT_EQ(params->Get("Channel"), "general");
}

TEST(BuildAppParams, DescribesTheRunningProgram) {
    TempDir tmp;
    ASSERT_EQ(::setenv("TMPDIR", tmp.Path().c_str(), 1), 0);
    CDownloaderApp app;
    std::string modulePath;
    BuildAppParams(app, modulePath);

    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
    ASSERT_GT(n, 0);
    std::string exe(self, std::size_t(n));
    EXPECT_EQ(modulePath, exe);
    EXPECT_EQ(app.AppParams.Get("AppDir") + "/" + app.AppParams.Get("AppName"), exe);
    EXPECT_EQ(app.AppName(), "app_params_test");

    EXPECT_EQ(app.AppParams.Get("AppTmpPath"), tmp.Path() + "/");
    EXPECT_EQ(app.AppParams.Get("Log"), tmp.Path() + "//log" + LocalTimeText("%Y-%m"));
    EXPECT_EQ(app.AppParams.Get("Version"), "velmora");
    EXPECT_EQ(app.AppParams.Entries().size(), 6u);
    EXPECT_EQ(app.m_bQuit.load(), 0);
}
