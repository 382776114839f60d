#include "net/ResumeAnswer.h"

#include <gtest/gtest.h>

namespace {
using A = ResumeAction;
struct ResumeCase {
    long status;
    std::uint64_t offset;
    std::optional<std::string> contentRange;
    ResumeAction expected;
};

void PrintTo(const ResumeCase& c, std::ostream* os) {
    *os << c.status << " at " << c.offset << " " << c.contentRange.value_or("-");
}

class ResumeDecision : public testing::TestWithParam<ResumeCase> {};
}  // namespace

TEST_P(ResumeDecision, TakesOnlyAnswersThatContinueThePartialFile) {
    const ResumeCase& c = GetParam();
    EXPECT_EQ(::DecideResume(c.status, c.offset, c.contentRange), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, ResumeDecision,
                         testing::Values(ResumeCase{200, 0, std::nullopt, A::Append},
                                         // Range ignored: the whole file again
                                         ResumeCase{200, 1000, std::nullopt, A::Restart},
                                         ResumeCase{203, 1000, std::nullopt, A::Restart},
                                         ResumeCase{206, 1000, "bytes 1000-4999/5000", A::Append},
                                         ResumeCase{206, 1000, "bytes 1000-4999/*", A::Append},
                                         ResumeCase{206, 1000, "bytes 0-4999/5000", A::Restart},
                                         ResumeCase{206, 1000, "bytes 500-4999/5000", A::Refuse},
                                         ResumeCase{206, 1000, std::nullopt, A::Refuse},
                                         ResumeCase{206, 1000, "items 1000-4999/5000", A::Refuse},
                                         ResumeCase{416, 5000, "bytes */5000", A::AlreadyComplete},
                                         ResumeCase{416, 5000, "bytes */4000", A::Refuse},
                                         ResumeCase{416, 0, "bytes */0", A::Refuse},
                                         ResumeCase{416, 5000, std::nullopt, A::Refuse},
                                         ResumeCase{403, 0, std::nullopt, A::Refuse},
                                         ResumeCase{500, 1000, std::nullopt, A::Refuse},
                                         ResumeCase{304, 1000, std::nullopt, A::Refuse},
                                         ResumeCase{100, 0, std::nullopt, A::Refuse}));

namespace {
struct SizeClaim {
    long status;
    std::uint64_t offset;  // asked from here (no overlap)
    std::optional<std::string> contentRange;
    std::int64_t contentLength;
    bool contradicts;  // a signed size of 5000
};

void PrintTo(const SizeClaim& c, std::ostream* os) {
    *os << c.status << " at " << c.offset << " " << c.contentRange.value_or("-") << " length "
        << c.contentLength;
}

class SignedSize : public testing::TestWithParam<SizeClaim> {};
}  // namespace

TEST_P(SignedSize, IsContradictedOnlyByAnotherClaim) {
    const SizeClaim& c = GetParam();
    EXPECT_EQ(ContradictsSignedSize(RangeAsk{c.offset, 0, std::nullopt},
                                    RangeAnswer{c.status, c.contentRange, c.contentLength}, 5000),
              c.contradicts);
}

INSTANTIATE_TEST_SUITE_P(
    Claims, SignedSize,
    testing::Values(SizeClaim{200, 0, std::nullopt, 5000, false},
                    SizeClaim{200, 0, std::nullopt, -1, false},  // no claim: the body is bound
                    SizeClaim{200, 0, std::nullopt, 1000000000000000, true},
                    SizeClaim{200, 1000, std::nullopt, 4000, true},  // the whole file is 5000
                    SizeClaim{206, 1000, "bytes 1000-4999/5000", 4000, false},
                    SizeClaim{206, 1000, "bytes 1000-4999/*", 4000, false},
                    SizeClaim{206, 1000, "bytes 1000-9999/10000", 9000, true},
                    SizeClaim{206, 1000, "bytes 1000-4999/5000", 9000, true},
                    SizeClaim{416, 5000, "bytes */5000", 0, false},
                    SizeClaim{416, 5000, "bytes */7000", 0, true},
                    SizeClaim{503, 0, std::nullopt, 1000000000000000, false}));

TEST(ContentRange, ReadsFirstByteAndUnsatisfiedTotal) {
    EXPECT_EQ(ContentRangeFirst("bytes 5000000000-5000000009/5000000010"), 5000000000u);
    EXPECT_FALSE(ContentRangeFirst("bytes -5/10"));
    EXPECT_FALSE(ContentRangeFirst("bytes 5"));
    EXPECT_EQ(UnsatisfiedRangeTotal("bytes */5000000010"), 5000000010u);
    EXPECT_FALSE(UnsatisfiedRangeTotal("bytes */10x"));
    EXPECT_FALSE(UnsatisfiedRangeTotal("bytes 0-9/10"));
}
