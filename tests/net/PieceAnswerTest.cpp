// The pure decisions of a download in ranges: how one range's answer is taken, when a download
// may split, and how the piece table hands out work.

#include "net/PieceAnswer.h"

#include <gtest/gtest.h>

#include "net/PieceTable.h"
#include "net/SplitDecision.h"

namespace {
using V = PieceVerdict;
struct PieceCase {
    long status;
    std::optional<std::string> contentRange;
    std::int64_t length;
    std::optional<std::string> validator;  // the answer's; "v1" was asked with If-Range
    bool sizeSigned;
    PieceVerdict expected;
};

void PrintTo(const PieceCase& c, std::ostream* os) {
    *os << c.status << " " << c.contentRange.value_or("-") << " length " << c.length << " "
        << c.validator.value_or("-") << (c.sizeSigned ? " signed" : "");
}

class PieceJudgement : public testing::TestWithParam<PieceCase> {};
}  // namespace

TEST_P(PieceJudgement, TakesOnlyTheBytesAskedForOfTheSameFile) {
    const PieceCase& c = GetParam();
    const PieceAsk ask{1000, 1999, "v1"};
    EXPECT_EQ(JudgePieceAnswer(ask, {c.status, c.contentRange, c.length, c.validator}, 5000,
                               c.sizeSigned),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PieceJudgement,
    testing::Values(PieceCase{206, "bytes 1000-1999/5000", 1000, "v1", false, V::Take},
                    PieceCase{206, "bytes 1000-4999/5000", 4000, "v1", false, V::Take},
                    PieceCase{206, "bytes 1000-1999/6000", 1000, "v1", false, V::Changed},
                    PieceCase{206, "bytes 1000-1999/6000", 1000, "v1", true, V::AddressFault},
                    PieceCase{206, "bytes 1000-1999/5000", 1000, "v2", false, V::Changed},
                    PieceCase{206, "bytes 0-999/5000", 1000, "v1", false, V::AddressFault},
                    // a 200: the same file whole (Range ignored), or another file
                    PieceCase{200, std::nullopt, 5000, "v1", false, V::IgnoresRange},
                    PieceCase{200, std::nullopt, 5000, "v2", false, V::Changed},
                    PieceCase{200, std::nullopt, 4000, "v1", false, V::Changed},
                    PieceCase{200, std::nullopt, -1, "v1", false, V::Changed},
                    PieceCase{200, std::nullopt, 4000, "v1", true, V::AddressFault},
                    PieceCase{416, "bytes */4000", 0, "v1", false, V::Changed},
                    PieceCase{404, std::nullopt, 9, "v1", false, V::AddressFault},
                    PieceCase{429, std::nullopt, 0, "v1", false, V::Busy},
                    PieceCase{503, std::nullopt, 0, "v1", true, V::Busy},
                    PieceCase{502, std::nullopt, 0, "v1", false, V::Retry}));

TEST(SplitDecision, NeedsAKnownSizeRangesVouchedForAndEnoughLeft) {
    const RangeSettings s;
    const std::uint64_t big = 64 << 20;
    EXPECT_TRUE(MaySplit({big, big, 206, true, false}, s));
    EXPECT_TRUE(MaySplit({big, big, 200, false, true}, s));  // signed: no validator needed
    EXPECT_FALSE(MaySplit({big, big, 206, false, false}, s));
    EXPECT_FALSE(MaySplit({big, big, 200, true, false}, s));
    EXPECT_FALSE(MaySplit({0, big, 206, true, false}, s));
    EXPECT_FALSE(MaySplit({big, 8 << 20, 206, true, false}, s));
    EXPECT_FALSE(MaySplit({big, big, 206, true, false}, {.maxConnections = 1}));
    using std::chrono::milliseconds;
    EXPECT_TRUE(WorthSplitting(milliseconds(250), 1 << 20, 32 << 20, s));  // 8 s more
    EXPECT_FALSE(WorthSplitting(milliseconds(250), 64 << 20, 32 << 20, s));
}

TEST(PieceTable, HandsOutWorkInFileOrderThenHalvesTheLargestPiece) {
    CPieceTable table(1000);
    table.MarkDone(0, 100, 0);
    table.MarkDone(300, 400, 1);  // a hole before it
    EXPECT_EQ(table.Claim(0, 150)->start, 100u);
    EXPECT_EQ(table.OwnedEnd(0, 120), 250u);
    EXPECT_EQ(table.Extend(0, 250, 150), 300u);  // up to the done extent, no further
    EXPECT_EQ(table.Claim(1, 150)->end, 550u);
    EXPECT_EQ(table.Claim(2, 1000)->end, 1000u);
    EXPECT_FALSE(table.Claim(3, 10) && table.AnyFree());
    const auto half = table.Steal(3, 100);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->start, 775u);
    EXPECT_EQ(table.OwnedEnd(2, 600), 775u);
    table.MarkDone(100, 300, 0);
    EXPECT_EQ(table.Prefix(), 400u);
    EXPECT_EQ(table.ForgetAllBut(0), 100u);  // what address 1 wrote is free again
    EXPECT_EQ(table.Prefix(), 300u);
    table.Release(1, 500);
    EXPECT_EQ(table.Claim(4, 1000)->start, 300u);
}
