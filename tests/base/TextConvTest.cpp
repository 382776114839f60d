#include "base/TextConv.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(WideToNarrow, EndsAtTheFirstNulAndRepairsInvalidBytes) {
    EXPECT_EQ(WideToNarrow(""), "");
    EXPECT_EQ(WideToNarrow("type=ad&v=中文"), "type=ad&v=中文");
    EXPECT_EQ(WideToNarrow("ab\0cd"s), "ab");
    EXPECT_EQ(WideToNarrow("a\xFF"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(NarrowToWide, KeepsNulsAndRepairsInvalidBytes) {
    EXPECT_EQ(NarrowToWide(""), "");
    EXPECT_EQ(NarrowToWide("{\"url\":\"中\"}"), "{\"url\":\"中\"}");
    EXPECT_EQ(NarrowToWide("a\0b\0"s), "a\0b\0"s);
    // Each byte of a character cut off at the end is replaced.
    EXPECT_EQ(NarrowToWide("x\xE4\xB8"), "x\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf16Length, CountsSurrogatePairsAsTwoUnits) {
    EXPECT_EQ(Utf16Length(""), 0u);
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("中文"), 2u);
    EXPECT_EQ(Utf16Length("é"), 1u);
    EXPECT_EQ(Utf16Length("\xF0\x9F\x98\x80"), 2u);
}
