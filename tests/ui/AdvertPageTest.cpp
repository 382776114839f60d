// A hostile advertisement in the real page: whatever the web server's fragment holds, the
// page keeps only plain formatting, runs nothing of it and calls nothing of the window.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "WindowUnderTest.h"

namespace {
using namespace std::chrono_literals;

struct HostileCase {
    const char* name;
    std::string fragment;
    std::string keptText;  // the plain text that stays
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileAdvert : public testing::TestWithParam<HostileCase> {
  protected:
    void SetUp() override {
        if (!InitGtkForTests()) GTEST_SKIP() << "no display";
        window = std::make_unique<WindowUnderTest>();
        ASSERT_TRUE(window->WaitForPage());
        // Every way the fragment could reach the window is recorded.
        window->RecordExternalCalls();
        window->Eval("window.alert = function () { externalCalls.push('alert'); }; 1");
    }
    std::string Eval(const std::string& script) { return window->Eval(script); }

    std::unique_ptr<WindowUnderTest> window;
};

TEST_P(HostileAdvert, KeepsOnlyPlainFormattingAndRunsNothing) {
    const HostileCase& c = GetParam();
    window->Dlg().InvokeScript("jsShowAd", {c.fragment});
    window->Settle();
    static_cast<void>(window->WaitUntil([] { return false; }, 300ms));  // anything that loads

    EXPECT_EQ(Eval("document.getElementById('ad').textContent"), c.keptText);
    const std::string found = Eval(
        "var bad = []; var all = document.getElementById('ad').getElementsByTagName('*');"
        "for (var i = 0; i < all.length; i++) {"
        "  var e = all[i]; if (!/^(B|I|EM|STRONG|SPAN|DIV|P|BR|UL|OL|LI|IMG|A|FONT|CENTER)$/"
        "    .test(e.nodeName)) bad.push(e.nodeName);"
        "  for (var j = 0; j < e.attributes.length; j++) { var a = e.attributes[j];"
        "    if (/^on/i.test(a.name) || /^\\s*(javascript|data|vbscript):/i.test(a.value))"
        "      bad.push(e.nodeName + ' ' + a.name); } }"
        "bad.join(',')");
    EXPECT_EQ(found, "");
    EXPECT_EQ(Eval("externalCalls.join(',')"), "");
    EXPECT_EQ(window->Dlg().WorkersStarted(), 1u);
    EXPECT_FALSE(window->Dlg().IsEnded());
    EXPECT_TRUE(window->Dlg().IsPageReady());
    EXPECT_EQ(Eval("location.href"), CDownloaderDlg::kPageUri);
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, HostileAdvert,
    testing::Values(
        HostileCase{"script", "<b>ad</b><script>window.external._velmora_Retry()</script>", "ad"},
        HostileCase{"event_handler",
                    "<img src=\"res:/JPG/#141\" onload=\"window.external._velmora_OnExit()\" "
                    "onerror=\"alert(1)\"><span onmouseover=\"alert(2)\">ad</span>",
                    "ad"},
        HostileCase{"iframe", "<iframe src=\"javascript:alert(3)\"></iframe><i>ad</i>", "ad"},
        HostileCase{"javascript_link",
                    "<a href=\"javascript:window.external._velmora_GetAppParams('Log')\">ad</a>"
                    "<a href=\" JaVaScRiPt:alert(4)\">s</a><a href=\"data:text/html,x\">t</a>",
                    "adst"},
        HostileCase{"svg_and_form",
                    "<svg onload=\"alert(5)\"><script>alert(6)</script></svg>"
                    "<form action=\"http://127.0.0.1/\"><input value=\"x\"></form><p>ad</p>",
                    "ad"},
        HostileCase{"meta_refresh_and_base",
                    "<meta http-equiv=\"refresh\" content=\"0;url=http://127.0.0.1/\">"
                    "<base href=\"http://127.0.0.1/\"><object data=\"x\"></object>ad",
                    "ad"}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST_F(HostileAdvert, PlainAdvertKeepsItsLinksAndOnlyTheAdvertLooks) {
    window->Dlg().InvokeScript(
        "jsShowAd",
        {"<div class=\"btn ad-banner x\" style=\"color:#fff\" title=\"t\"><b>Tavrin</b> "
         "<a href=\"https://www.example/x\" onclick=\"alert(1)\" class=\"closebtn\">"
         "more</a><img src=\"http://127.0.0.1:1/p.png\" width=\"10\"></div>"});
    window->Settle();
    EXPECT_EQ(
        Eval("document.querySelector('#ad div').outerHTML"),
        "<div class=\"ad-banner\"><b>Tavrin</b> <a href=\"https://www.example/x\" "
        "target=\"_blank\">more</a><img src=\"http://127.0.0.1:1/p.png\" width=\"10\"></div>");
}

// The page's policy is the second wall: markup that got past the rebuilding neither runs nor
// places itself.
TEST_F(HostileAdvert, PolicyRunsNoInlineScriptAndAppliesNoInlineStyle) {
    Eval(
        "var ad = document.getElementById('ad'); ad.innerHTML = '<img src=\"res:/JPG/#147\" "
        "onload=\"externalCalls.push(1)\"><p style=\"position:fixed\">x</p><p>y</p>';"
        "ad.lastChild.setAttribute('style', 'position:absolute');"
        "var s = document.createElement('script'); s.textContent = 'externalCalls.push(2)';"
        "document.body.appendChild(s); 1");
    EXPECT_TRUE(window->WaitUntil([&] { return Eval("ad.firstChild.complete") == "true"; }));
    EXPECT_EQ(
        Eval("[].map.call(ad.children, function (e) { return getComputedStyle(e).position; })"),
        "static,static,static");
    EXPECT_EQ(Eval("externalCalls.join(',')"), "");
}
}  // namespace
