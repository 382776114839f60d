// The record beside a partial file reads back only what it wrote.

#include "net/ResumeRecord.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/TempDir.h"

TEST(ResumeRecordText, RefusesWhatItDidNotWrite) {
    TempDir dir;
    const std::string path = dir / "r.meta";
    for (const std::string text : {
             "",
             "downloader-partial 1\n",                           // no synced length
             "downloader-partial 1\nsynced 12x\n",               // not a number
             "downloader-partial 1\nsynced 1\nvalidator h x\n",  // unknown validator kind
             "downloader-partial 1\nsynced 1\nsha256 abc\n",     // not a digest
             "downloader-partial 2\nsynced 1\n",                 // another format
             "downloader-partial 1\nsynced 1\nsecret 1\n",
         }) {
        WriteFile(path, text);
        EXPECT_FALSE(LoadResumeRecord(path)) << text;
    }
    ResumeRecord record;
    record.url = "http://h/a b";
    record.synced = 7;
    record.validators["h:80"] = "date Wed, 21 Oct 2015 07:28:00 GMT";
    record.validators["bad:80"] = "etag \"x\r\nInjected: 1\"";  // never written
    ASSERT_TRUE(SaveResumeRecord(path, record).Ok());
    const auto loaded = LoadResumeRecord(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->url, record.url);
    EXPECT_EQ(loaded->synced, 7u);
    EXPECT_EQ(loaded->IfRangeFor("h:80"), "Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_FALSE(loaded->IfRangeFor("bad:80"));
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::nullopt), std::nullopt);
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::string("Mon")), "date Mon");
    EXPECT_EQ(ValidatorOf(std::string("\"s\""), std::string("Mon")), "etag \"s\"");
}
