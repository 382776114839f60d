// The digest computed on its own thread is the digest of the bytes in the order they were
// handed over, however they were cut into buffers, and a partial file's digest follows the file
// through restarts and cut-backs.

#include <string>
#include <vector>

#include "net/BackgroundDigest.h"
#include "net/PartialFile.h"
#include "tests/net/NetTestSupport.h"
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

TEST_F(NetTest, APartialFilesDigestFollowsItsContents) {
    const std::string path = Path("p.df");
    const std::string first = PseudoRandomBytes(300000, 1), second = PseudoRandomBytes(700000, 2);
    WriteFile(path, first);
    CPartialFile partial;
    ASSERT_TRUE(partial.Open(path));
    auto append = [&](const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 1000) {
            char* block = nullptr;
            ASSERT_TRUE(partial.NextBlock(1000, block).Ok());
            const std::size_t n = std::min<std::size_t>(1000, bytes.size() - at);
            std::copy_n(bytes.data() + at, n, block);
            partial.CommitBlock(n);
        }
    };
    std::string hex;
    append(second.substr(0, 5000));  // held, not yet written, when the digest starts
    ASSERT_TRUE(partial.StartDigest().Ok());
    append(second.substr(5000));
    ASSERT_TRUE(partial.Digest(hex).Ok());
    EXPECT_EQ(hex, DigestOf(first + second));

    ASSERT_TRUE(partial.CutBack(123456).Ok());
    append(second);
    ASSERT_TRUE(partial.Digest(hex).Ok());
    EXPECT_EQ(hex, DigestOf(first.substr(0, 123456) + second));

    ASSERT_TRUE(partial.Restart().Ok());
    append(first);
    ASSERT_TRUE(partial.Digest(hex).Ok());
    EXPECT_EQ(hex, DigestOf(first));
    partial.Close();
    EXPECT_TRUE(ReadFile(path) == first);
}
