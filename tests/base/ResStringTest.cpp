#include "base/ResString.h"

#include <gtest/gtest.h>

TEST(LoadResString, KnowsTheProgramsStringsAndNothingElse) {
    EXPECT_EQ(LoadResString(101), "关于 Downloader(&A)...");
    EXPECT_EQ(LoadResString(103), "velmora");
    EXPECT_EQ(LoadResString(104), "general");
    EXPECT_EQ(LoadResString(107), "网络连接失败！请检查您的网络配置后重试！");
    EXPECT_EQ(LoadResString(102), "");
    EXPECT_EQ(LoadResString(0), "");
}
