#include "download/UpdateKeys.h"

#include <gtest/gtest.h>

#include <set>

namespace {
// 32 bytes 0x00..0x1f in standard base64.
constexpr char kKey[] = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=";

struct KeyCase {
    const char* name;
    UpdateKeyText text;
    bool usable;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeKey : public testing::TestWithParam<KeyCase> {};

TEST_P(DecodeKey, BadTextLeavesAnUnusableKeyInItsPlace) {
    const KeyCase& c = GetParam();
    const UpdateKeyText texts[] = {{"first", kKey}, c.text};
    const std::vector<UpdateKey> keys = DecodeUpdateKeys(texts);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys[0].usable);
    EXPECT_EQ(keys[1].id, c.text.id);
    EXPECT_EQ(keys[1].usable, c.usable);
    if (c.usable) {
        EXPECT_EQ(keys[1].publicKey[31], 0x1f);
    }
    EXPECT_TRUE(SignedMode(keys));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeKey,
    testing::Values(
        KeyCase{"Good", {"k-2_Z", kKey}, true},
        KeyCase{"ThirtyOneBytes", {"k", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHg=="}, false},
        KeyCase{"ThirtyThreeBytes", {"k", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8g"}, false},
        KeyCase{"NonZeroPaddingBits", {"k", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh9="}, false},
        KeyCase{"UrlSafeAlphabet", {"k", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh-="}, false},
        KeyCase{"TrailingBlank", {"k", "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8= "}, false},
        KeyCase{"Empty", {"k", ""}, false},
        KeyCase{"IdTooLong", {"k23456789abcdefgh", kKey}, false},
        KeyCase{"IdWithDot", {"k.1", kKey}, false}),
    [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(CompiledUpdateKeys, EveryKeyTheBuildWasGivenIsUsable) {
    const auto texts = CompiledUpdateKeyTexts();
    const auto keys = CompiledUpdateKeys();
    ASSERT_EQ(keys.size(), texts.size());
    std::set<std::string> ids;
    for (const UpdateKey& key : keys) {
        EXPECT_TRUE(key.usable) << key.id;
        EXPECT_TRUE(ids.insert(key.id).second) << "twice: " << key.id;
    }
    EXPECT_EQ(SignedMode(), !texts.empty());
}
}  // namespace
