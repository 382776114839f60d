// The window's pieces that need no display: call texts, event texts, res: addresses, menu
// texts and the window outline.

#include <gtest/gtest.h>

#include "ui/EventTexts.h"
#include "ui/MenuText.h"
#include "ui/NoticeBox.h"
#include "ui/ResUri.h"
#include "ui/ScriptCall.h"
#include "ui/WindowShape.h"

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

TEST(EventTexts, ReadEachNumberAtItsWidth) {
    // Sizes are whole 64-bit figures: 3 GiB shows as 3072 MB, 4 GiB + 1 MiB as 4097 MB.
    EXPECT_EQ(ProgressTextsOf(3221225472u, 42).megabytes, "3072.00");
    EXPECT_EQ(ProgressTextsOf(3221225472u, 42).percent, "42");
    EXPECT_EQ(ProgressTextsOf(12939428u, 0).megabytes, "12.34");
    EXPECT_EQ(ProgressTextsOf(0x100000000u + 1048576u, 0x100000000 + 7).megabytes, "4097.00");
    // Only the low 32 bits of the percentage count.
    EXPECT_EQ(ProgressTextsOf(0x100000000u + 1048576u, 0x100000000 + 7).percent, "7");
    EXPECT_EQ(FileSizeTextOf(3221225472), "3072.00");
    EXPECT_EQ(FileSizeTextOf(5ull << 40), "5242880.00");
    EXPECT_EQ(FileSizeTextOf(1048576), "1.00");
    EXPECT_EQ(FileSizeTextOf(0), "0.00");
    EXPECT_EQ(SpeedTextOf(123), "123.00");
    EXPECT_EQ(SpeedTextOf(0), "0.00");
    EXPECT_EQ(SpeedTextOf(-5), "-5.00");
}

TEST(EventTexts, CompleteFromOneHundredPercentOn) {
    EXPECT_FALSE(IsCompleteProgress(99));
    EXPECT_TRUE(IsCompleteProgress(100));
    EXPECT_TRUE(IsCompleteProgress(250));
    EXPECT_FALSE(IsCompleteProgress(-1));
    EXPECT_FALSE(IsCompleteProgress(0x100000000 + 5));  // low 32 bits: 5
}

TEST(OpenFailedText, NamesTheFolderAndTheFile) {
    EXPECT_EQ(OpenFailedText("/home/u/.cache/downloader//myvelmora_setup2.0.exe"),
              "无法自动打开安装程序，请手动运行。\n文件夹：/home/u/.cache/downloader\n"
              "文件名：myvelmora_setup2.0.exe");
}

TEST(ResUri, ReadsTheIdFromTheFragment) {
    const ResUri page = ParseResUri("res:/HTML/#106");
    EXPECT_EQ(page.kind, ResUri::Kind::Resource);
    EXPECT_EQ(page.resourcePath, "/res/HTML/106");
    EXPECT_EQ(page.contentType, "text/html");
    EXPECT_EQ(ParseResUri("res:/JS/#132").resourcePath, "/res/JS/132");
    EXPECT_EQ(ParseResUri("res:/JS/#131").resourcePath, "/res/JS/131");
    // The "JPG" pictures hold BMP bytes but are offered as pictures all the same.
    EXPECT_EQ(ParseResUri("res:/JPG/#141").contentType, "image/jpeg");
    EXPECT_EQ(ParseResUri("res:/PNG/#139").contentType, "image/png");
    EXPECT_EQ(ParseResUri("res:/CSS/#129").contentType, "text/css");
}

TEST(ResUri, RefusesWhatIsNotAResourceOfAKnownType) {
    for (const char* uri : {"res:/HTML/", "res:/HTML/#", "res:/HTML/#10a", "res:/EXE/#1",
                            "res:/../etc/#1", "res:/HTML/x/#106", "http://h/HTML/#106",
                            "res:/HTML/#106?x=1", "res:/html/#106", "not a uri"})
        EXPECT_EQ(ParseResUri(uri).kind, ResUri::Kind::Invalid) << uri;
}

TEST(ResUri, DecodesTheParameterName) {
    const ResUri param = ParseResUri("res:///bridge/GetAppParams?name=a%26b%3D%E7%89%88%20c");
    EXPECT_EQ(param.kind, ResUri::Kind::AppParam);
    EXPECT_EQ(param.paramName, "a&b=版 c");
    EXPECT_EQ(ParseResUri("res:///bridge/GetAppParams?name=").paramName, "");
    EXPECT_EQ(ParseResUri("res:///bridge/GetAppParams").kind, ResUri::Kind::AppParam);
    EXPECT_EQ(ParseResUri("res:///bridge/Other?name=x").kind, ResUri::Kind::Invalid);
}

TEST(MnemonicToGtk, MovesTheAccessKeyMark) {
    EXPECT_EQ(MnemonicToGtk("关于 Downloader(&A)..."), "关于 Downloader(_A)...");
    EXPECT_EQ(MnemonicToGtk("a && b_c"), "a & b__c");
    EXPECT_EQ(MnemonicToGtk("end&"), "end&");
}

TEST(WindowShape, CutsTwoRowsAndRoundsTheCorners) {
    CairoRegionPtr region = CreateRoundRectRegion(2, 2, 627, 467, 6, 6);
    auto in = [&](int x, int y) { return cairo_region_contains_point(region.get(), x, y) != 0; };
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(region.get(), &extents);
    EXPECT_EQ(extents.x, 2);
    EXPECT_EQ(extents.y, 2);
    EXPECT_EQ(extents.x + extents.width, 627);
    EXPECT_EQ(extents.y + extents.height, 467);
    EXPECT_FALSE(in(1, 200));
    EXPECT_FALSE(in(300, 1));
    EXPECT_TRUE(in(2, 200));
    EXPECT_TRUE(in(300, 2));
    EXPECT_TRUE(in(626, 466 - 10));
    EXPECT_TRUE(in(300, 466));
    // The corners follow the ellipse: the very corner pixels are outside, a few in are inside.
    for (auto [x, y] : {std::pair{2, 2}, {626, 2}, {2, 466}, {626, 466}}) EXPECT_FALSE(in(x, y));
    for (auto [x, y] : {std::pair{5, 5}, {623, 5}, {5, 463}, {623, 463}}) EXPECT_TRUE(in(x, y));
}
