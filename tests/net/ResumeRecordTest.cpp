// The record beside a partial file reads back only what it wrote.

#include "net/ResumeRecord.h"

#include "net/ExtentsNote.h"

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
    EXPECT_EQ(loaded->ValidatorFor("h:80"), "date Wed, 21 Oct 2015 07:28:00 GMT");
    EXPECT_FALSE(loaded->ValidatorFor("bad:80"));
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::nullopt), std::nullopt);
    EXPECT_EQ(ValidatorOf(std::string("W/\"weak\""), std::string("Mon")), "date Mon");
    EXPECT_EQ(ValidatorOf(std::string("\"s\""), std::string("Mon")), "etag \"s\"");
    // The kind asked with is the kind compared: dates stay dates when an ETag appears.
    EXPECT_EQ(AnswerValidator(std::string("\"s\""), std::string("Mon"), "date Sun"), "date Mon");
}

// A record or a note that is not what was written (torn, or edited by hand) counts as absent:
// each carries a check of its own content. One of an earlier program, without a check, is
// no record at all, and not a damaged one.
TEST(ResumeRecordText, ARecordOrNoteThatFailsItsCheckIsIgnored) {
    TempDir dir;
    const std::string record = dir / "r.meta", note = dir / "r.extents";
    ResumeRecord written;
    written.url = "http://h/f";
    written.synced = 4096;
    ASSERT_TRUE(SaveResumeRecord(record, written).Ok());
    ASSERT_TRUE(SaveExtentsNote(note, {4096, {{0, 4096, "a"}, {8192, 9000, "a"}}}).Ok());
    bool damaged = true;
    EXPECT_TRUE(LoadResumeRecord(record, &damaged) && !damaged);
    EXPECT_TRUE(LoadExtentsNote(note));
    const auto edit = [](const std::string& path, const std::string& from, const std::string& to) {
        std::string text = ReadFile(path);
        text.replace(text.find(from), from.size(), to);
        WriteFile(path, text);
    };
    edit(note, "9000", "9900");  // an extent's end moved into a hole
    EXPECT_FALSE(LoadExtentsNote(note));
    edit(record, "synced 4096", "synced 4097");
    EXPECT_FALSE(LoadResumeRecord(record, &damaged));
    EXPECT_TRUE(damaged);
    std::string text = ReadFile(record);
    WriteFile(record, text.substr(0, text.find("check ")));  // as an earlier program wrote it
    EXPECT_FALSE(LoadResumeRecord(record, &damaged));
    EXPECT_FALSE(damaged);
}
