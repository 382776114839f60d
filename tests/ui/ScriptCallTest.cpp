#include "ui/ScriptCall.h"

#include <gtest/gtest.h>

#include <string>

TEST(JsStringLiteral, EscapesEverythingThatCouldEndTheLiteralOrTheScript) {
    EXPECT_EQ(JsStringLiteral(""), "''");
    EXPECT_EQ(JsStringLiteral("下载进度 1.00"), "'下载进度 1.00'");
    EXPECT_EQ(JsStringLiteral("it's \"q\" \\"), R"('it\'s \"q\" \\')");
    EXPECT_EQ(JsStringLiteral("a\nb\r\tc"), R"('a\nb\r\tc')");
    EXPECT_EQ(JsStringLiteral("\xE2\x80\xA8|\xE2\x80\xA9"), R"('\u2028|\u2029')");
    EXPECT_EQ(JsStringLiteral("</script><!--"), R"('\x3c/script\x3e\x3c!--')");
    EXPECT_EQ(JsStringLiteral(std::string("a\0b\x01", 4)),
              "'a\xEF\xBF\xBD"
              "b\\x01'");
    // A byte that is not UTF-8 becomes U+FFFD instead of breaking the script's encoding.
    EXPECT_EQ(JsStringLiteral("\xFF"), "'\xEF\xBF\xBD'");
}

TEST(ScriptCallText, GuardsTheCallAndKeepsArgumentOrder) {
    EXPECT_EQ(ScriptCallText("jsUpdateProgress", {"42", "1.50"}),
              "if (typeof jsUpdateProgress === 'function') { try { jsUpdateProgress('42', "
              "'1.50'); } catch (e) {} }\n");
    EXPECT_EQ(ScriptCallText("f", {}),
              "if (typeof f === 'function') { try { f(); } catch (e) {} }\n");
}

TEST(ScriptCallText, RefusesNamesThatAreNotIdentifiers) {
    EXPECT_TRUE(IsScriptIdentifier("jsShowDetail"));
    EXPECT_TRUE(IsScriptIdentifier("_$a1"));
    for (const char* name : {"", "1a", "a.b", "a(1);b", "a b", "f'"}) {
        EXPECT_FALSE(IsScriptIdentifier(name)) << name;
        EXPECT_EQ(ScriptCallText(name, {"x"}), "") << name;
    }
}
