#include "ui/NoticeBox.h"

#include <gtest/gtest.h>

TEST(OpenFailedText, NamesTheFolderAndTheFile) {
    EXPECT_EQ(OpenFailedText("/home/u/.cache/downloader//myvelmora_setup2.0.exe"),
              "无法自动打开安装程序，请手动运行。\n文件夹：/home/u/.cache/downloader\n"
              "文件名：myvelmora_setup2.0.exe");
}
