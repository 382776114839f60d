// Advertisements that try every way out of their box, in the real window on a display of the
// test's own: real presses on the title strip, Cancel and × still do what they do, and the
// screen outside the box stays as it was before the advertisement came.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "WindowUnderTest.h"
#include "tests/support/TempDir.h"

#include <gdk/gdkx.h>  // last: its X macros (None, Status) clash with names above

namespace {
using namespace std::chrono_literals;
constexpr int kWidth = CDownloaderDlg::kWidth, kHeight = CDownloaderDlg::kHeight;

struct Box {
    int left, top, right, bottom;
};

struct EscapeCase {
    const char* name;
    const char* fragment;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name;
}

bool Xdotool(const std::string& args) {
    return std::system(("xdotool " + args).c_str()) == 0;
}

// The screen's pixels at (x, y) and the window's size, three bytes each, row by row.
std::string Grab(int x, int y) {
    const std::string command = "import -window root -crop " + std::to_string(kWidth) + "x" +
                                std::to_string(kHeight) + "+" + std::to_string(x) + "+" +
                                std::to_string(y) + " -depth 8 rgb:-";
    std::string pixels;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            pixels.append(buffer, n);
        pclose(pipe);
    }
    return pixels;
}

// Whether two grabs agree outside skip; where says how they differ.
bool SamePixels(const std::string& a, const std::string& b, const Box& skip,
                std::string* where = nullptr) {
    if (a.size() != std::size_t{kWidth} * kHeight * 3 || b.size() != a.size()) return false;
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) continue;
            const std::size_t at = (y * kWidth + x) * 3;
            if (a.compare(at, 3, b, at, 3) == 0) continue;
            if (where && differing == 0)
                *where = "first at " + std::to_string(x) + "," + std::to_string(y);
            ++differing;
        }
    if (where && differing) *where += ", " + std::to_string(differing) + " pixels";
    return differing == 0;
}

// Whether the box in shot holds more than one colour: the page has drawn its picture there.
bool DrawnIn(const std::string& shot, const Box& box) {
    if (shot.size() != std::size_t{kWidth} * kHeight * 3) return false;
    const std::size_t first = (box.top * kWidth + box.left) * 3;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (shot.compare((y * kWidth + x) * 3, 3, shot, first, 3) != 0) return true;
    return false;
}

class AdvertBox : public testing::TestWithParam<EscapeCase> {
  protected:
    void SetUp() override {
        if (!InitGtkForTests()) GTEST_SKIP() << "no display";
        if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "no xdotool";
        // A link that takes a press is opened here, and recorded, instead of in a browser.
        WriteFile(dir / "xdg-open", "#!/bin/sh\necho \"$*\" >> '" + (dir / "opened") + "'\n");
        ASSERT_EQ(chmod((dir / "xdg-open").c_str(), 0755), 0);
        savedPath = g_getenv("PATH");
        g_setenv("PATH", (dir.Path() + ":" + savedPath).c_str(), TRUE);
        window = std::make_unique<WindowUnderTest>();
        ASSERT_TRUE(window->WaitForPage());
        xid = std::to_string(gdk_x11_window_get_xid(gtk_widget_get_window(Dlg().Widget())));
    }
    void TearDown() override {
        Xdotool("mouseup 1");  // after a failure with the button down, too
        if (!savedPath.empty()) g_setenv("PATH", savedPath.c_str(), TRUE);
    }

    CDownloaderDlg& Dlg() { return window->Dlg(); }
    bool PageSays(const std::string& script, const std::string& value) {
        return window->WaitUntil([&] { return window->Eval(script) == value; }, 5s);
    }
    // Moves the pointer onto (x, y) of the window until the page has seen it there (a move
    // that the end of a window drag took is made again).
    bool PointerSeenAt(int x, int y) {
        const std::string at = std::to_string(x) + "," + std::to_string(y);
        return window->WaitUntil(
            [&] {
                for (int dx : {1, 0})
                    Xdotool("mousemove --window " + xid + " " + std::to_string(x + dx) + " " +
                            std::to_string(y));
                return window->Eval("window.pointerAt") == at;
            },
            5s);
    }
    // Whether a window besides the download window is on the screen (a tooltip, say).
    bool OtherWindowShown() {
        GList* all = gtk_window_list_toplevels();
        bool shown = false;
        for (GList* w = all; w; w = w->next)
            shown |= w->data != Dlg().Widget() && gtk_widget_get_mapped(GTK_WIDGET(w->data));
        g_list_free(all);
        return shown;
    }
    bool PointerGrabbed() {
        GdkDisplay* display = gdk_display_get_default();
        return gdk_display_device_is_grabbed(
            display, gdk_seat_get_pointer(gdk_display_get_default_seat(display)));
    }
    std::pair<int, int> Origin() {
        int x = 0, y = 0;
        gdk_window_get_origin(gtk_widget_get_window(Dlg().Widget()), &x, &y);
        return {x, y};
    }
    // The screen where the window is, once ready holds and two looks agree between which the
    // window had 100 ms to draw.
    std::string SteadyShot(const std::function<bool(const std::string&)>& ready) {
        std::string last;
        auto next = std::chrono::steady_clock::now();
        window->WaitUntil([&] {
            if (std::chrono::steady_clock::now() < next) return false;
            std::string shot = Grab(Origin().first, Origin().second);
            next = std::chrono::steady_clock::now() + 100ms;
            const bool steady = SamePixels(last, shot, {}) && ready(shot);
            last = std::move(shot);
            return steady;
        });
        return last;
    }

    TempDir dir;
    std::string savedPath;
    std::unique_ptr<WindowUnderTest> window;
    std::string xid;
};

TEST_P(AdvertBox, DrawsAndTakesPressesOnlyInsideItsBox) {
    Box box{};
    sscanf(window
               ->Eval("var r = document.getElementById('ad').getBoundingClientRect();"
                      "[r.left, r.top].map(Math.floor).concat([r.right, r.bottom].map(Math.ceil))"
                      ".join(' ')")
               .c_str(),
           "%d %d %d %d", &box.left, &box.top, &box.right, &box.bottom);
    window->RecordExternalCalls();
    window->Eval(
        "document.addEventListener('mousemove', function (e) {"
        "  window.pointerAt = e.clientX + ',' + e.clientY; }, true); 1");
    // The pointer rests low in the box, where a tooltip would hang out of it.
    const int restX = (box.left + box.right) / 2, restY = box.bottom - 5;
    ASSERT_TRUE(PointerSeenAt(restX, restY));
    const std::string before =
        SteadyShot([&](const std::string& shot) { return DrawnIn(shot, box); });

    Dlg().InvokeScript("jsShowAd", {GetParam().fragment});
    ASSERT_TRUE(
        PageSays("[].every.call(document.images, function (i) { return i.complete; })", "true"));
    // The pointer moves over the advertisement, which gets its hover and the time a tooltip
    // needs to show.
    ASSERT_TRUE(PointerSeenAt(restX, restY));
    window->WaitUntil([&] { return OtherWindowShown(); }, 1500ms);
    const std::string after = SteadyShot([&](const std::string& shot) {
        return !SamePixels(before, shot, {});  // the advertisement is drawn
    });
    std::string where;
    EXPECT_TRUE(SamePixels(before, after, box, &where)) << where;

    // A drag on the title strip: past the threshold the window takes the pointer, then follows.
    const std::pair<int, int> start = Origin();
    ASSERT_TRUE(PointerSeenAt(300, 15) && Xdotool("mousedown 1"));
    EXPECT_TRUE(PageSays("externalCalls.join()", "MoveTitleBar(300,15)"));
    Xdotool("mousemove_relative 10 6");
    EXPECT_TRUE(window->WaitUntil([&] { return PointerGrabbed(); }, 5s));
    Xdotool("mousemove_relative 30 18");
    EXPECT_TRUE(window->WaitUntil(
        [&] { return Origin() == std::make_pair(start.first + 40, start.second + 24); }, 5s));
    Xdotool("mouseup 1");
    // Cancel ends the window; × asks to.
    ASSERT_TRUE(PointerSeenAt(575, 428) && Xdotool("click 1"));
    EXPECT_TRUE(window->WaitUntil([&] { return Dlg().IsEnded(); }, 5s));
    ASSERT_TRUE(PointerSeenAt(604, 15) && Xdotool("click 1"));
    EXPECT_TRUE(PageSays("externalCalls.join()", "MoveTitleBar(300,15),OnExit(),OnExit()"));
    EXPECT_FALSE(FileExists(dir / "opened")) << ReadFile(dir / "opened");
}

// Each way out of the box, as the web server could send it; the first is a plain advert.
#define LINK "<a href=\"http://127.0.0.1:9/x\">"
#define COVER "width:627px;height:467px;z-index:2147483647;background:#c00;color:#fff"
const EscapeCase kEscapes[] = {
    {"advert_looks",
     "<div class=\"ad-banner\"><b class=\"ad-headline\">Tavrin</b>"
     "<span class=\"ad-text\">手机与电脑</span></div>"},
    {"fixed_cover",
     LINK "<div style=\"position:fixed;left:0;top:0;" COVER "\">安装检查失败，点击这里</div></a>"},
    {"absolute_cover", "<div style=\"position:absolute;left:-40px;top:-60px;" COVER "\">" LINK
                       "<img src=\"res:/PNG/#139\"></a></div>"},
    {"transform",
     "<div style=\"width:591px;height:296px;background:#c00;"
     "transform:translate(-20px,-40px) scale(2)\">ad</div>"},
    {"negative_margin", "<div style=\"margin:-60px -40px;position:relative;" COVER "\">ad</div>"},
    {"pointer_events_none",
     "<div style=\"position:fixed;inset:0;pointer-events:none;background:rgba(204,0,0,.5)\">"
     "</div>ad"},
    {"shadow_and_outline",
     "<p style=\"box-shadow:0 0 0 900px #c00;outline:900px solid #c00\">ad</p>"},
    {"page_classes",
     "<div class=\"pop_center\">" LINK "<span class=\"pop_bg btn\">取消</span></a></div>"},
    {"huge_sizes", LINK "<img src=\"res:/PNG/#139\" width=\"5000\" height=\"5000\"></a>"
                        "<font size=\"7\">安装检查失败，点击这里</font>"},
    {"float_and_markers",
     "<img src=\"res:/JPG/#147\" align=\"left\" width=\"40\" height=\"700\">"
     "<ol><li>a</li><li>b</li></ol>"},
    {"title_tooltip",
     "<img src=\"res:/PNG/#139\" width=\"591\" height=\"296\" "
     "title=\"安装检查失败，点击这里重新安装。安装检查失败。\">"},
};
#undef LINK
#undef COVER

INSTANTIATE_TEST_SUITE_P(Escapes, AdvertBox, testing::ValuesIn(kEscapes),
                         [](const testing::TestParamInfo<EscapeCase>& info) {
                             return std::string(info.param.name);
                         });
}  // namespace
