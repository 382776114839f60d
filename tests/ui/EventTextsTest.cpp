#include "ui/EventTexts.h"

#include <gtest/gtest.h>

TEST(EventTexts, ReadEachNumberAtItsWidth) {
    // Sizes are whole 64-bit figures: 3 GiB shows as 3072 MB, 4 GiB + 1 MiB as 4097 MB.
    EXPECT_EQ(ProgressTextsOf(3221225472u, 42).megabytes, "3072.00");
    EXPECT_EQ(ProgressTextsOf(3221225472u, 42).percent, "42");
    EXPECT_EQ(ProgressTextsOf(12939428u, 0).megabytes, "12.34");
    EXPECT_EQ(ProgressTextsOf(0x100000000u + 1048576u, 0x100000000 + 7).megabytes, "4097.00");
    // Only the low 32 bits of the percentage count.
    EXPECT_EQ(ProgressTextsOf(0x100000000u + 1048576u, 0x100000000 + 7).percent, "7");
    EXPECT_EQ(FileSizeTextOf(3221225472), "3072.00");
    EXPECT_EQ(FileSizeTextOf(5ull << 40), "5242880.00");
    EXPECT_EQ(FileSizeTextOf(1048576), "1.00");
    EXPECT_EQ(FileSizeTextOf(0), "0.00");
    EXPECT_EQ(SpeedTextOf(123), "123.00");
    EXPECT_EQ(SpeedTextOf(0), "0.00");
    EXPECT_EQ(SpeedTextOf(-5), "-5.00");
}

TEST(EventTexts, CompleteFromOneHundredPercentOn) {
    EXPECT_FALSE(IsCompleteProgress(99));
    EXPECT_TRUE(IsCompleteProgress(100));
    EXPECT_TRUE(IsCompleteProgress(250));
    EXPECT_FALSE(IsCompleteProgress(-1));
    EXPECT_FALSE(IsCompleteProgress(0x100000000 + 5));  // low 32 bits: 5
}
