#include "base/DebugTrace.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "base/Except.h"
#include "base/TextConv.h"
#include "tests/base/LogCapture.h"

namespace {
const std::regex kPrefix(R"(^={12}>\d\d:\d\d:\d\d\t$)");

std::vector<std::size_t> PieceUnits(const std::vector<std::string>& messages) {
    std::vector<std::size_t> units;
    for (std::size_t i = 1; i < messages.size(); ++i) units.push_back(Utf16Length(messages[i]));
    return units;
}
}  // namespace

TEST(DebugTrace, LongTextTravelsAsPrefixThenPiecesOf1024Units) {
    CLogCapture capture;
    const std::string text(2500, 'x');
    DebugTrace("%s", text.c_str());

    auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_TRUE(std::regex_match(messages[0], kPrefix)) << messages[0];
    EXPECT_EQ(PieceUnits(messages), (std::vector<std::size_t>{1024, 1024, 452}));
    EXPECT_EQ(messages[1] + messages[2] + messages[3], text);
}

TEST(DebugTrace, EmptyTextSendsOnlyThePrefix) {
    CLogCapture capture;
    DebugTrace("%s", "");
    auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(std::regex_match(messages[0], kPrefix));
}

TEST(DebugTrace, PiecesCountUtf16UnitsAndNeverSplitACharacter) {
    CLogCapture capture;
    // 1023 units, then an emoji of two units that no longer fits, then Chinese text.
    const std::string text = std::string(1023, 'a') + "\xF0\x9F\x98\x80" + "中文";
    DebugTrace("%s", text.c_str());

    auto messages = capture.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1], std::string(1023, 'a'));
    EXPECT_EQ(messages[2], "\xF0\x9F\x98\x80中文");

    CLogCapture again;
    std::string han;
    for (int i = 0; i < 1025; ++i) han += "中";
    DebugTrace("%s", han.c_str());
    EXPECT_EQ(PieceUnits(again.Messages()), (std::vector<std::size_t>{1024, 1}));
}

TEST(Trace, CarriesSourceFileAndLine) {
    CLogCapture capture;
    const int line = __LINE__ + 1;
    TRACE("status=%d", 404);

    auto records = capture.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "status=404");
    EXPECT_EQ(records[0].codeFile, __FILE__);
    EXPECT_EQ(records[0].codeLine, std::to_string(line));
}

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
    Except thrown("x", "F", -7, "%s:%05.1f", "中文", 2.5);
    Except copy = thrown;
    EXPECT_EQ(copy.File(), "x");
    EXPECT_EQ(copy.Function(), "F");
    EXPECT_EQ(copy.Line(), -7);
    EXPECT_EQ(copy.Message(), "中文:002.5");
}
