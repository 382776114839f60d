#include "ui/MenuText.h"

#include <gtest/gtest.h>

TEST(MnemonicToGtk, MovesTheAccessKeyMark) {
    EXPECT_EQ(MnemonicToGtk("关于 Downloader(&A)..."), "关于 Downloader(_A)...");
    EXPECT_EQ(MnemonicToGtk("a && b_c"), "a & b__c");
    EXPECT_EQ(MnemonicToGtk("end&"), "end&");
}
