// The page's figure functions write only what changes, and plain text without the HTML
// parser: after every call, batched or not, and whatever else has written the page between
// calls, the figures are what the jQuery originals leave.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "WindowUnderTest.h"

namespace {

// The figure functions as the page first had them.
constexpr char kOriginals[] = R"JS(
var announced = null;
window.jsUpdateProgress = function (progress, aldown) {
    $("#Progressbar").css("width", progress + "%");
    if (progress !== announced) {
        announced = progress;
        document.getElementById("progress").setAttribute("aria-valuenow", progress);
    }
    $("#aldownload").html("下载进度 " + aldown + "M");
};
window.jsUpdateFileSize = function (filesize) { $("#filesize").html("/" + filesize + "M"); };
window.jsUpdateSpeed = function (speed) { $("#speed").html(",下载速度 " + speed + " KB/s"); };
)JS";

// Records the figures (markup and number of child nodes) after every call of a figure
// function.
constexpr char kRecorder[] = R"JS(
window.seen = [];
function figures() {
    return ["Progressbar", "progress", "aldownload", "filesize", "speed"].map(function (id) {
        var e = document.getElementById(id);
        return e.outerHTML + " #" + e.childNodes.length;
    }).join("\n");
}
["jsUpdateProgress", "jsUpdateFileSize", "jsUpdateSpeed"].forEach(function (name) {
    var f = window[name];
    window[name] = function () { f.apply(this, arguments); seen.push(figures()); };
});
1
)JS";

// A step is a call through the window, or (call empty) a script run between batches.
struct Step {
    std::string call;
    std::vector<std::string> args;
    std::string script;
};
struct FiguresCase {
    const char* name;
    std::vector<Step> steps;
};
void PrintTo(const FiguresCase& c, std::ostream* os) {
    *os << c.name;
}

Step Progress(const std::string& percent, const std::string& megabytes) {
    return {"jsUpdateProgress", {percent, megabytes}, {}};
}
Step Size(const std::string& text) {
    return {"jsUpdateFileSize", {text}, {}};
}
Step Speed(const std::string& text) {
    return {"jsUpdateSpeed", {text}, {}};
}
Step Meddle(const std::string& script) {
    return {{}, {}, script + "; 1"};
}

// What the figures were after each call when the steps ran in a fresh window, with the
// originals in place of the page's own functions when asked.
std::string FiguresAfterEachCall(const std::vector<Step>& steps, bool originals) {
    WindowUnderTest window;
    if (!window.WaitForPage()) return "no page";
    if (originals) window.Eval(std::string(kOriginals) + "; 1");
    window.Eval(kRecorder);
    for (const Step& step : steps) {
        if (step.call.empty())
            window.Eval(step.script);  // sends the calls before it first
        else
            window.Dlg().InvokeScript(step.call, step.args);
    }
    return window.Eval("seen.join('\\n--\\n')");
}

class PageFigures : public testing::TestWithParam<FiguresCase> {
  protected:
    void SetUp() override {
        if (!InitGtkForTests()) GTEST_SKIP() << "no display";
    }
};

TEST_P(PageFigures, AreWhatTheOriginalsLeaveAfterEveryCall) {
    const std::vector<Step>& steps = GetParam().steps;
    const std::string ours = FiguresAfterEachCall(steps, false);
    EXPECT_NE(ours.find("下载进度"), std::string::npos) << ours;
    EXPECT_EQ(ours, FiguresAfterEachCall(steps, true));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PageFigures,
    testing::Values(
        FiguresCase{"repeats",
                    {Progress("5", "1.00"), Progress("5", "1.00"), Progress("5", "1.01"),
                     Progress("6", "1.01"), Progress("6", "1.01"), Size("40.00"), Size("40.00"),
                     Speed("12.00"), Speed("12.00"), Progress("6", "1.02")}},
        FiguresCase{"markup_entities_and_odd_characters",
                    {Speed("<b>1</b>"), Speed("<b>1</b>"), Speed("a&amp;b"), Speed("1.00"),
                     Size("x\ry"), Size("x\ry"), Size(std::string("x\0y", 3)), Size(""),
                     Progress("1", "<i>2</i>"), Progress("1", "2")}},
        FiguresCase{"odd_percentages",
                    {Progress("abc", "1.00"), Progress("100", "1.00"), Progress("-5", "1.00"),
                     Progress("42.5", "1.00"), Progress("42.5", "1.00"), Progress("", "1.00")}},
        FiguresCase{"written_by_something_else_between_calls",
                    {Progress("7", "1.00"), Size("2.00"), Speed("3.00"),
                     Meddle("document.getElementById('Progressbar').style.width = '90%'"),
                     Meddle("document.getElementById('aldownload').innerHTML = '<i>x</i>'"),
                     Meddle("document.getElementById('speed').appendChild("
                            "document.createTextNode('!'))"),
                     Meddle("document.getElementById('filesize').firstChild.data = 'other'"),
                     Progress("7", "1.00"), Size("2.00"), Speed("3.00"),
                     Meddle("var e = document.getElementById('aldownload');"
                            "e.parentNode.replaceChild(e.cloneNode(false), e)"),
                     Meddle("var b = document.getElementById('Progressbar');"
                            "b.parentNode.replaceChild(b.cloneNode(false), b)"),
                     Progress("7", "1.00")}}),
    [](const testing::TestParamInfo<FiguresCase>& info) { return std::string(info.param.name); });

}  // namespace
