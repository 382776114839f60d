#include "base/Except.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/base/LogCapture.h"

namespace {
const std::regex kPrefix(R"(^={12}>\d\d:\d\d:\d\d\t$)");
}  // namespace

TEST(Except, KeepsAMessageOfAnyLength) {
    const std::string longText(300, 'm');
    Except e("Http.cpp", "CHttp::DownHttpFile", 135, "%s", longText.c_str());
    EXPECT_EQ(e.Message().size(), 300u);
    EXPECT_EQ(e.Message(), longText);

    const std::string huge(100000, 'h');
    EXPECT_EQ(Except("f", "g", 1, "<%s>", huge.c_str()).Message().size(), 100002u);
}

TEST(Except, GetTextRendersTheErrorAndTracesEachFetchOnce) {
    Except e("Http.cpp", "CHttp::DownHttpFile", 135, "open %s failed (%d)", "a.df", 13);
    CLogCapture capture;
    const std::string expected = "Error:[Http.cpp:CHttp::DownHttpFile:135] open a.df failed (13)\n";

    EXPECT_EQ(e.GetText(), expected);
    EXPECT_EQ(e.GetText(), expected);

    auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 4u);  // per fetch: the prefix, then the text in one piece
    EXPECT_TRUE(std::regex_match(messages[0], kPrefix));
    EXPECT_EQ(messages[1], expected);
    EXPECT_TRUE(std::regex_match(messages[2], kPrefix));
    EXPECT_EQ(messages[3], expected);
}

TEST(Except, FieldsAndFormatSurviveCopying) {
    Except original("x", "F", -7, "%s:%05.1f", "中文", 2.5);
    Except copy = original;
    EXPECT_EQ(copy.File(), "x");
    EXPECT_EQ(copy.Function(), "F");
    EXPECT_EQ(copy.Line(), -7);
    EXPECT_EQ(copy.Message(), "中文:002.5");
}
