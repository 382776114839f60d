#include "base/DebugTrace.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

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
    // Named from the source folder, not by where it was built.
    EXPECT_EQ(records[0].codeFile, "tests/base/DebugTraceTest.cpp");
    EXPECT_EQ(records[0].codeLine, std::to_string(line));
}
