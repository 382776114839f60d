// The pure decisions of a download in ranges: when a download may split, and how the piece
// table hands out work.

#include "net/PieceTable.h"

#include <gtest/gtest.h>

#include "net/RangeAnswer.h"
#include "net/SplitDecision.h"

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

TEST(PieceTable, KnowsTheDoneRunBeforeAByteAndAnEndFoundLate) {
    CPieceTable table(kOpenEnd);
    table.MarkDone(0, 100, 0);
    table.MarkDone(100, 150, 1);  // another writer: two spans, one run
    EXPECT_EQ(table.DoneRunBefore(150), 150u);
    EXPECT_EQ(table.DoneRunBefore(120), 120u);
    EXPECT_EQ(table.DoneRunBefore(151), 0u);
    EXPECT_FALSE(table.Complete());
    table.EndAt(150);
    EXPECT_TRUE(table.Complete());
    EXPECT_EQ(table.Size(), 150u);
    CPieceTable raced(1000);
    ASSERT_TRUE(raced.Claim(0, 1000));
    raced.Release(0, 400);
    raced.TakeOver(1, 400, 1000);
    EXPECT_EQ(raced.OwnedEnd(1, 400), 1000u);
    EXPECT_EQ(raced.OwnedEnd(0, 0), 400u);
}
