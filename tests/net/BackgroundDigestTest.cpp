// The digest computed on its own thread is the digest of the bytes in the order they were
// handed over, however they were cut into buffers.

#include "net/BackgroundDigest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Bytes.h"
#include "tests/support/CaseName.h"

namespace {
constexpr std::size_t kBuffer = 4096;

struct Cutting {
    const char* name;
    std::vector<std::size_t> pieces;  // the bytes handed over in each buffer
    std::size_t spare;
};

class EachCutting : public testing::TestWithParam<Cutting> {};
}  // namespace

TEST_P(EachCutting, GivesTheDigestOfEverythingInOrder) {
    const Cutting& c = GetParam();
    const std::string bytes = PseudoRandomBytes(200 * kBuffer, 7);
    CBackgroundDigest digest(kBuffer, c.spare);
    std::unique_ptr<char[]> buffer(new char[kBuffer]);
    std::size_t at = 0;
    for (int round = 0; round < 50; ++round)
        for (std::size_t piece : c.pieces) {
            std::copy_n(bytes.data() + at, piece, buffer.get());
            buffer = digest.Exchange(std::move(buffer), piece);
            ASSERT_TRUE(buffer);
            at += piece;
        }
    EXPECT_EQ(digest.HexDigest(), DigestOf(bytes.substr(0, at)));
}

INSTANTIATE_TEST_SUITE_P(
    Cuttings, EachCutting,
    testing::Values(Cutting{"full buffers", {kBuffer}, 2},
                    Cutting{"odd sizes and empty ones", {1, 0, kBuffer - 1, 17, 0, 4000}, 2},
                    Cutting{"no spare buffer asked for", {kBuffer, 5}, 0},
                    Cutting{"many spare buffers", {kBuffer, 3}, 16}),
    NameOfCase());

TEST(BackgroundDigest, EndsWithWorkStillQueued) {
    CBackgroundDigest digest(1 << 20, 8);
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    for (int i = 0; i < 8; ++i) buffer = digest.Exchange(std::move(buffer), 1 << 20);
}
