#include "download/SignedUpdateReply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "tests/download/TestSigner.h"

namespace {
constexpr std::int64_t kNow = 1'700'000'000;
const std::string kDigest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";

// name and JSON text of each member; an empty text leaves the member out.
using Members = std::vector<std::pair<std::string, std::string>>;

// A valid reply with some members replaced or added, as raw text so that cases can hold
// what no JSON writer would produce.
std::string Reply(const Members& changes = {}) {
    Members members = {{"url", R"("http://dl.example/setup.exe")"},
                       {"version", R"("2.4.1")"},
                       {"product", R"("velmora")"},
                       {"channel", R"("stable")"},
                       {"sha256", '"' + kDigest + '"'},
                       {"size", "1234"},
                       {"expires", std::to_string(kNow + 3600)}};
    for (const auto& [name, text] : changes) {
        const auto member = std::find_if(members.begin(), members.end(),
                                         [&](const auto& m) { return m.first == name; });
        if (member != members.end())
            member->second = text;
        else
            members.emplace_back(name, text);
    }
    std::string body = "{";
    for (const auto& [name, text] : members)
        if (!text.empty()) body += (body.size() > 1 ? "," : "") + ('"' + name + "\":" + text);
    return body + "}";
}

// A valid reply padded to exactly size bytes.
std::string ReplyOfSize(std::size_t size) {
    const std::size_t padding = size - Reply().size() - std::string(R"(,"detail":"")").size();
    return Reply({{"detail", '"' + std::string(padding, 'x') + '"'}});
}

const TestSigner& Signer(const std::string& id) {
    static std::map<std::string, TestSigner> signers;
    return signers.try_emplace(id, id).first->second;
}

// The header from a pattern of ','-separated "LABEL/SIGNER" pairs: the signature of SIGNER's key
// labelled with LABEL's ID, blanks kept; "!" after SIGNER flips one bit of the signature.
// Pieces without '/' are copied as they are.
std::string MakeHeader(const std::string& pattern, const std::string& body) {
    std::string header;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = pattern.find(',', start);
        std::string piece = pattern.substr(start, comma - start);
        if (const std::size_t slash = piece.find('/'); slash != std::string::npos) {
            const std::size_t labelStart = piece.find_first_not_of(' ');
            const std::size_t signerEnd = piece.find_first_of(" !", slash);
            const std::string signer = piece.substr(slash + 1, signerEnd - slash - 1);
            SignaturePair pair =
                Signer(signer).Sign(body, piece.substr(labelStart, slash - labelStart));
            if (piece.find('!') != std::string::npos) pair.signature[10] ^= 0x01;
            piece = piece.substr(0, labelStart) + FormatSignaturePair(pair) +
                    (signerEnd == std::string::npos ? "" : piece.substr(signerEnd));
            piece.erase(std::remove(piece.begin(), piece.end(), '!'), piece.end());
        }
        header += piece;
        if (comma == std::string::npos) return header;
        header += ',';
        start = comma + 1;
    }
}

struct ReplyCase {
    const char* name;
    std::string body = Reply();
    std::optional<std::string> header = "k1/k1";  // nothing: no header at all
    UpdateReplyKind expected = UpdateReplyKind::Ok;
    const char* logPart = "";   // found in the log text
    std::string accepted = {};  // version accepted before
    int flipBodyBit = -1;       // flipped after signing
    int flipHeaderBit = -1;     // flipped in the header text
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class VerifyReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(VerifyReply, DecidesAsTheCaseSays) {
    const ReplyCase& c = GetParam();
    std::string body = c.body;
    std::optional<std::string> header;
    if (c.header) header = MakeHeader(*c.header, body);
    if (c.flipBodyBit >= 0) body[c.flipBodyBit / 8] ^= static_cast<char>(1 << c.flipBodyBit % 8);
    if (c.flipHeaderBit >= 0)
        (*header)[c.flipHeaderBit / 8] ^= static_cast<char>(1 << c.flipHeaderBit % 8);

    const std::vector<UpdateKey> keys = {Signer("k1").PublicKey(), Signer("k2").PublicKey()};
    const UpdateReplyVerdict verdict =
        VerifyUpdateReply(body, header, {"velmora", "stable", kNow, c.accepted}, keys);
    EXPECT_EQ(KindName(verdict.kind), KindName(c.expected)) << verdict.logText;
    EXPECT_EQ(verdict.update.has_value(), c.expected == UpdateReplyKind::Ok);
    EXPECT_NE(verdict.logText.find(c.logPart), std::string::npos) << verdict.logText;
}

using K = UpdateReplyKind;
const std::string k2Pow63 = "9223372036854775808";
// The furthest "expires" may lie ahead of the clock.
constexpr std::int64_t kLongest = kMaxUpdateReplyLifetimeSeconds + kUpdateClockSkewSeconds;

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyReply,
    testing::Values(
        // signatures
        ReplyCase{.name = "GoodSignature"},
        ReplyCase{.name = "RotationUnknownOldKeyThenNew", .header = "k0/k0, k1/k1"},
        ReplyCase{.name = "ForgedPairThenGood", .header = " k2/k9 ,\tk1/k1 "},
        ReplyCase{.name = "UnknownId",
                  .header = "k9/k9",
                  .expected = K::BadSignature,
                  .logPart = "key 'k9' is not known"},
        ReplyCase{.name = "WrongKey",
                  .header = "k1/k2",
                  .expected = K::BadSignature,
                  .logPart = "signature of key 'k1' does not verify"},
        ReplyCase{.name = "BodyBitFlipped", .expected = K::BadSignature, .flipBodyBit = 80},
        ReplyCase{.name = "SignatureBitFlipped", .header = "k1/k1!", .expected = K::BadSignature},
        ReplyCase{.name = "HeaderIdBitFlipped",
                  .expected = K::BadSignature,
                  .logPart = "key 'k0'",
                  .flipHeaderBit = 8},
        ReplyCase{.name = "HeaderSeparatorBitFlipped",
                  .expected = K::BadSignature,
                  .logPart = "malformed",
                  .flipHeaderBit = 16},
        ReplyCase{.name = "HeaderBase64BitFlipped",
                  .expected = K::BadSignature,
                  .flipHeaderBit = 8 * 30 + 1},
        ReplyCase{.name = "NoHeader", .header = std::nullopt, .expected = K::NotSigned},
        ReplyCase{.name = "EmptyHeader", .header = "", .expected = K::BadSignature},
        ReplyCase{.name = "PairWithoutBlank", .header = "k1", .expected = K::BadSignature},
        ReplyCase{.name = "EightPairsLastGood",
                  .header = "k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k1/k1"},
        ReplyCase{.name = "NinePairs",
                  .header = "k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k2/k9,k1/k1",
                  .expected = K::BadSignature,
                  .logPart = "malformed"},
        // size
        ReplyCase{.name = "ExactlyTheLimit", .body = ReplyOfSize(kMaxUpdateReplyBytes)},
        ReplyCase{.name = "OverTheLimit",
                  .body = ReplyOfSize(kMaxUpdateReplyBytes + 1),
                  .expected = K::TooLarge},
        // the verified bytes parse strictly, as they are
        ReplyCase{.name = "NulAfterDocument", .body = Reply() + '\0', .expected = K::Malformed},
        ReplyCase{.name = "NulBeforeTrailingText",
                  .body = Reply() + std::string("\0{}", 3),
                  .expected = K::Malformed},
        ReplyCase{.name = "TrailingText", .body = Reply() + "x", .expected = K::Malformed},
        ReplyCase{.name = "Comment", .body = "/**/" + Reply(), .expected = K::Malformed},
        ReplyCase{.name = "DuplicateMember",
                  .body = Reply({{"channel", R"("stable","url":"u")"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "ArrayRoot", .body = '[' + Reply() + ']', .expected = K::Malformed},
        ReplyCase{.name = "DeepNesting",
                  .body = Reply({{"x", std::string(100, '[') + std::string(100, ']')}}),
                  .expected = K::Malformed},
        // members
        ReplyCase{.name = "FtpUrl",
                  .body = Reply({{"url", R"("ftp://dl.example/a")"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "UrlWithNul",
                  .body = Reply({{"url", R"("http://a/\u0000b")"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "RelativeUrl",
                  .body = Reply({{"url", R"("dl.example/a")"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "ShortDigest",
                  .body = Reply({{"sha256", R"("9f86")"}}),
                  .expected = K::Malformed},
        ReplyCase{
            .name = "MissingVersion", .body = Reply({{"version", ""}}), .expected = K::Malformed},
        ReplyCase{.name = "SizeMissing", .body = Reply({{"size", ""}}), .expected = K::Malformed},
        ReplyCase{.name = "SizeZero", .body = Reply({{"size", "0"}}), .expected = K::Malformed},
        ReplyCase{
            .name = "SizeNegative", .body = Reply({{"size", "-5"}}), .expected = K::Malformed},
        ReplyCase{
            .name = "SizeTwoToThe63", .body = Reply({{"size", k2Pow63}}), .expected = K::Malformed},
        ReplyCase{.name = "SizeLargestInt64", .body = Reply({{"size", "9223372036854775807"}})},
        ReplyCase{
            .name = "SizeFractional", .body = Reply({{"size", "5.0"}}), .expected = K::Malformed},
        ReplyCase{
            .name = "SizeString", .body = Reply({{"size", R"("5")"}}), .expected = K::Malformed},
        ReplyCase{.name = "MirrorNotHttp",
                  .body = Reply({{"mirrors", R"(["file:///a"])"}}),
                  .expected = K::Malformed},
        ReplyCase{
            .name = "DetailNotText", .body = Reply({{"detail", "5"}}), .expected = K::Malformed},
        // time, channel, version
        ReplyCase{
            .name = "ExpiresMissing", .body = Reply({{"expires", ""}}), .expected = K::Malformed},
        ReplyCase{.name = "ExpiresString",
                  .body = Reply({{"expires", R"("1700000000")"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "ExpiresFractional",
                  .body = Reply({{"expires", "1.8e9"}}),
                  .expected = K::Malformed},
        ReplyCase{.name = "ExpiredWithinClockSkew",
                  .body = Reply({{"expires", std::to_string(kNow - 299)}})},
        ReplyCase{.name = "ExpiredBeyondClockSkew",
                  .body = Reply({{"expires", std::to_string(kNow - 300)}}),
                  .expected = K::Expired},
        ReplyCase{.name = "ExpiresLowestInt64",
                  .body = Reply({{"expires", "-9223372036854775808"}}),
                  .expected = K::Expired},
        ReplyCase{.name = "ExpiresAtTheLongestLifetime",
                  .body = Reply({{"expires", std::to_string(kNow + kLongest)}})},
        ReplyCase{.name = "ExpiresBeyondTheLongestLifetime",
                  .body = Reply({{"expires", std::to_string(kNow + kLongest + 1)}}),
                  .expected = K::ExpiresTooLate,
                  .logPart = "more than 366 days"},
        ReplyCase{.name = "ExpiresHighestInt64",
                  .body = Reply({{"expires", "9223372036854775807"}}),
                  .expected = K::ExpiresTooLate},
        ReplyCase{.name = "OtherProduct",
                  .body = Reply({{"product", R"("lumen")"}}),
                  .expected = K::WrongProduct,
                  .logPart = "for product 'lumen', asked for 'velmora'"},
        ReplyCase{.name = "NoProduct",
                  .body = Reply({{"product", ""}}),
                  .expected = K::WrongProduct,
                  .logPart = "names no product"},
        ReplyCase{.name = "OtherChannel",
                  .body = Reply({{"channel", R"("beta")"}}),
                  .expected = K::WrongChannel,
                  .logPart = "'beta'"},
        ReplyCase{.name = "SameVersionAgain", .accepted = "2.4.1"},
        ReplyCase{.name = "HigherVersion", .accepted = "2.4"},
        ReplyCase{.name = "LowerVersion", .expected = K::RolledBack, .accepted = "2.10"},
        ReplyCase{.name = "UnorderedVersionAfterAccepted",
                  .body = Reply({{"version", R"("2.5-beta")"}}),
                  .expected = K::RolledBack,
                  .accepted = "2.4"},
        ReplyCase{.name = "UnorderedVersionFirstTime",
                  .body = Reply({{"version", R"("2.5-beta")"}})}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(VerifyReply, AcceptedValuesAreTheSignedOnes) {
    const std::string body = Reply({{"size", "9223372036854775807"},
                                    {"mirrors", R"(["https://m1/a.exe","http://m2/a.exe"])"},
                                    {"detail", R"("\u4e2d")"}});
    const UpdateReplyVerdict verdict =
        VerifyUpdateReply(body, Signer("k2").Pair(body), {"velmora", "stable", kNow, "2.4"},
                          std::vector<UpdateKey>{Signer("k2").PublicKey()});
    ASSERT_TRUE(verdict.update) << verdict.logText;
    const AcceptedUpdate& update = *verdict.update;
    EXPECT_EQ(update.url, "http://dl.example/setup.exe");
    EXPECT_EQ(update.version, "2.4.1");
    EXPECT_EQ(update.sha256, kDigest);
    EXPECT_EQ(update.size, 9223372036854775807u);
    EXPECT_EQ(update.expires, kNow + 3600);
    EXPECT_EQ(update.mirrors, (std::vector<std::string>{"https://m1/a.exe", "http://m2/a.exe"}));
    EXPECT_EQ(update.detail, "中");
    EXPECT_EQ(update.keyId, "k2");
    EXPECT_EQ(update.document["channel"].asString(), "stable");
    EXPECT_EQ(UserTextFor(verdict.kind), "");
}

TEST(VerifyReply, WithoutKeysNothingIsAuthentic) {
    const std::string body = Reply();
    EXPECT_EQ(
        VerifyUpdateReply(body, Signer("k1").Pair(body), {"velmora", "stable", kNow, ""}, {}).kind,
        UpdateReplyKind::BadSignature);
}
}  // namespace
