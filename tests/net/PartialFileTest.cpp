// A partial file's digest follows the file through restarts and cut-backs.

#include "net/PartialFile.h"

#include <algorithm>
#include <string>

#include "tests/net/NetTestSupport.h"

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
