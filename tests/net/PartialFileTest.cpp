// The digest of a file written in ranges follows its done prefix, whether its bytes come in
// file order (taken from the buffers they were written from) or out of order (read back).

#include "net/PrefixDigest.h"

#include <memory>
#include <string>
#include <vector>

#include "net/PartialFile.h"
#include "tests/net/NetTestSupport.h"

namespace {
constexpr std::size_t kBuffer = 4096;              // the pieces' unit
constexpr std::size_t kBufferBytes = 8 * kBuffer;  // the most one piece holds

struct Piece {
    std::size_t at, size;
};

// Writes the pieces of bytes into partial in the order given, as ranges would, telling the
// digest of each; the prefix is what is done from byte 0 on.
std::string DigestWritingPieces(CPartialFile& partial, const std::string& bytes,
                                const std::vector<Piece>& pieces) {
    CPrefixDigest digest(partial, kBufferBytes);
    std::vector<bool> done(bytes.size(), false);
    std::size_t prefix = 0;
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    for (const Piece& piece : pieces) {
        std::copy_n(bytes.data() + piece.at, piece.size, buffer.get());
        EXPECT_TRUE(partial.WriteAt(piece.at, buffer.get(), piece.size).Ok());
        std::fill_n(done.begin() + static_cast<std::ptrdiff_t>(piece.at), piece.size, true);
        while (prefix < done.size() && done[prefix]) ++prefix;
        digest.Offer(piece.at, buffer, piece.size);
        EXPECT_TRUE(buffer);
        digest.Follow(prefix);
    }
    std::string hex;
    EXPECT_TRUE(digest.HexDigest(bytes.size(), hex).Ok());
    return hex;
}
}  // namespace

TEST_F(NetTest, APrefixDigestIsTheFilesWhateverTheOrderOfItsPieces) {
    const std::string bytes = PseudoRandomBytes(6 * kBuffer, 3);
    const std::vector<std::vector<Piece>> orders = {
        {{0, kBuffer}, {kBuffer, kBuffer}, {2 * kBuffer, 4 * kBuffer}},  // in file order
        {{4 * kBuffer, 2 * kBuffer}, {0, 4 * kBuffer}},                  // the back first
        {{kBuffer, 5 * kBuffer}, {0, 100}, {100, kBuffer - 100}},        // a hole at the start
    };
    for (std::size_t i = 0; i < orders.size(); ++i) {
        const std::string path = Path("p" + std::to_string(i) + ".df");
        CPartialFile partial;
        std::string cleared;
        ASSERT_TRUE(partial.Open(path, cleared));
        EXPECT_EQ(DigestWritingPieces(partial, bytes, orders[i]), DigestOf(bytes)) << i;
    }
}
