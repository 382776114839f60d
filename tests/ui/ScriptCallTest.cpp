#include "ui/ScriptCall.h"

#include <gtest/gtest.h>

#include <string>

TEST(JsStringLiteral, EscapesEverythingThatCouldEndTheLiteralOrTheScript) {
    const struct {
        std::string text, literal;
    } cases[] = {
        {"", R"("")"},
        {"下载进度 1.00", "\"下载进度 1.00\""},
        {"it's \"q\" \\", R"("it's \"q\" \\")"},
        {"a\nb\r\tc", R"("a\nb\r\tc")"},
        {"\xE2\x80\xA8|\xE2\x80\xA9|\xE2\x80\xA7", "\"\\u2028|\\u2029|\xE2\x80\xA7\""},
        {"</script><!--", R"("\u003c/script\u003e\u003c!--")"},
        {std::string("a\0b\x01\x7f", 5),
         "\"a\xEF\xBF\xBD"
         "b\\u0001\\u007f\""},
        // A byte that is not UTF-8 becomes U+FFFD instead of breaking the script's encoding.
        {"\xFF<", "\"\xEF\xBF\xBD\\u003c\""},
        {"\xE2\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(JsStringLiteral(c.text), c.literal) << c.text;
}

TEST(ScriptCall, BatchesCallsAsDataWithEachTextOnce) {
    CScriptBatch batch;
    EXPECT_TRUE(batch.Add("jsUpdateProgress", {"42", "1.50"}));
    EXPECT_TRUE(batch.Add("f", {}));
    EXPECT_TRUE(batch.Add("jsUpdateProgress", {"42", "42"}));
    EXPECT_TRUE(batch.Add("jsShowDownFail", {"<b>\"x\"</b>", "", "f"}));
    batch.Close();
    EXPECT_FALSE(batch.Add("f", {}));
    EXPECT_EQ(batch.Calls(), 4u);
    EXPECT_EQ(batch.Script(),
              R"(__velmoraRunCalls([["jsUpdateProgress","42","1.50","f","jsShowDownFail",)"
              R"("\u003cb\u003e\"x\"\u003c/b\u003e",""],[0,2,1,2,3,0,0,2,1,1,4,3,5,6,3]]);)");
}

TEST(ScriptCall, RefusesNamesThatAreNotIdentifiers) {
    EXPECT_TRUE(IsScriptIdentifier("jsShowDetail"));
    EXPECT_TRUE(IsScriptIdentifier("_$a1"));
    for (const char* name : {"", "1a", "a.b", "a(1);b", "a b", "f'", "f\""}) {
        EXPECT_FALSE(IsScriptIdentifier(name)) << name;
        CScriptBatch batch;
        EXPECT_FALSE(batch.Add(name, {"x"})) << name;
        EXPECT_EQ(batch.Calls(), 0u) << name;
        EXPECT_EQ(batch.Script(), "__velmoraRunCalls([[],[]]);") << name;
    }
}
