// The download window with its page in a real web view under a display: worker events as
// the page shows them, both directions of the bridge, the installer start and the About box.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>

#include <httplib.h>

#include "WindowUnderTest.h"
#include "download/WorkerEvents.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/TempDir.h"
#include "ui/AboutDlg.h"

namespace {

using namespace std::chrono_literals;

// The texts of every label under widget, each followed by '|', in widget order.
std::string LabelTexts(GtkWidget* widget) {
    std::string texts;
    if (GTK_IS_LABEL(widget)) texts = std::string(gtk_label_get_text(GTK_LABEL(widget))) + "|";
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next)
            texts += LabelTexts(GTK_WIDGET(child->data));
        g_list_free(children);
    }
    return texts;
}

class DownloaderDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!InitGtkForTests()) GTEST_SKIP() << "no display";
        window = std::make_unique<WindowUnderTest>([this](CWorkerHost*) {
            ++workerRuns;
            while (holdWorkers.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return 0u;
        });
        ASSERT_TRUE(window->WaitForPage());
    }

    CDownloaderDlg& Dlg() { return window->Dlg(); }
    std::string Eval(const std::string& script) { return window->Eval(script); }
    std::string Text(const std::string& selector) {
        return Eval("document.querySelector('" + selector + "').textContent");
    }
    bool Shown(const std::string& id) {
        return Eval("getComputedStyle(document.getElementById('" + id + "')).display") != "none";
    }
    // Replaces a page function with one that records its arguments in window.calls.
    void InstallRecorder(const std::string& name) {
        Eval("window.calls = []; window." + name +
             " = function () { calls.push(Array.prototype.slice.call(arguments)); }; 1");
    }

    std::atomic<int> workerRuns{0};
    std::atomic<bool> holdWorkers{false};  // workers stay at work while set
    std::unique_ptr<WindowUnderTest> window;
};

TEST_F(DownloaderDlgTest, FiguresLineShowsProgressSizeAndSpeed) {
    window->PostAndSettle(UpdateFileSize{59538145});      // 56.78 MB
    window->PostAndSettle(UpdateProgress{12939428, 21});  // 12.34 MB
    window->PostAndSettle(UpdateSpeed{123});
    EXPECT_EQ(Text(".download_info"), "下载进度 12.34M/56.78M,下载速度 123.00 KB/s");
}

TEST_F(DownloaderDlgTest, ARetryIsAnnouncedInTheProgressLineAsText) {
    window->PostAndSettle(UpdateFileSize{1048576});
    window->PostAndSettle(ShowRetry{"连接中断，3 秒后重试（第 2/5 次）<b>"});
    EXPECT_EQ(Text(".download_info"), "/1.00M，连接中断，3 秒后重试（第 2/5 次）<b>");
    EXPECT_TRUE(Shown("download_details"));
    EXPECT_FALSE(Shown("retry"));
    // The tries are spent: the failure view keeps no notice of a retry that will not come.
    window->PostAndSettle(ShowDownFail{"下载失败，请检查网络后点击重试！"});
    EXPECT_EQ(Text(".download_info"), "/1.00M");
}

TEST_F(DownloaderDlgTest, ProgressBarRunsFromEmptyToTheFullTrack) {
    const std::string width = "document.getElementById('Progressbar').offsetWidth";
    window->PostAndSettle(UpdateProgress{0, 0});
    EXPECT_EQ(Eval(width), "0");
    Dlg().InvokeScript("jsUpdateProgress", {"100", "1.00"});  // the window itself never sends it
    EXPECT_EQ(Eval(width), "464");
    window->PostAndSettle(UpdateProgress{0, 50});
    EXPECT_EQ(Eval(width), "232");
}

TEST_F(DownloaderDlgTest, NumbersAreReadAtTheirWidths) {
    window->PostAndSettle(UpdateProgress{3221225472u, 42});
    EXPECT_EQ(Text("#aldownload"), "下载进度 3072.00M");
    window->PostAndSettle(UpdateFileSize{3221225472});
    EXPECT_EQ(Text("#filesize"), "/3072.00M");
    window->PostAndSettle(UpdateProgress{0x100000000u + 1048576u, 99});
    EXPECT_EQ(Text("#aldownload"), "下载进度 4097.00M");
    window->PostAndSettle(UpdateFileSize{1048576});
    EXPECT_EQ(Text("#filesize"), "/1.00M");
    window->PostAndSettle(UpdateSpeed{0});
    EXPECT_EQ(Text("#speed"), ",下载速度 0.00 KB/s");
}

TEST_F(DownloaderDlgTest, DetailShowsTheVersionAndIgnoresEmptyReplies) {
    EXPECT_EQ(SendDetail(Dlg().GetSafeHwnd(), ""), 1);
    EXPECT_EQ(SendDetail(Dlg().GetSafeHwnd(), "null\n"), 1);
    EXPECT_EQ(Text("#version"), "");
    SendDetail(Dlg().GetSafeHwnd(), R"({"url":"http://h/a.exe","version":"1.2.3"})");
    EXPECT_EQ(Text("#version"), "V1.2.3");
    EXPECT_EQ(Text("#version"), "V1.2.3");
    EXPECT_TRUE(Shown("download_details"));
}

TEST_F(DownloaderDlgTest, FailureViewAndRetryClickOrder) {
    EXPECT_FALSE(Shown("retry"));
    EXPECT_FALSE(Shown("download_fail"));
    EXPECT_EQ(SendDownFail(Dlg().GetSafeHwnd(), "网络连接失败<b>!</b>"), 1);
    EXPECT_TRUE(Shown("retry"));
    EXPECT_TRUE(Shown("download_fail"));
    EXPECT_FALSE(Shown("download_details"));
    EXPECT_EQ(Eval("document.getElementById('download_fail').innerHTML"), "网络连接失败<b>!</b>");

    // The button must be gone before the native retry starts its worker.
    Eval(
        "window.seen = []; var native = window.external._velmora_Retry;"
        "window.external._velmora_Retry = function () {"
        "  seen.push(getComputedStyle(document.getElementById('retry')).display); native(); };"
        "document.getElementById('retry').click(); 1");
    EXPECT_TRUE(window->WaitUntil([&] { return Dlg().WorkersStarted() == 2; }));
    EXPECT_EQ(Eval("JSON.stringify(seen)"), R"(["none"])");
    EXPECT_FALSE(Shown("retry"));
    EXPECT_TRUE(Shown("download_details"));
    EXPECT_FALSE(Shown("download_fail"));
}

TEST_F(DownloaderDlgTest, EmptyFailureTextShowsTheEmptyText) {
    Eval("document.getElementById('download_fail').innerHTML = 'old'; 1");
    EXPECT_EQ(SendMessage(Dlg().GetSafeHwnd(), ShowDownFail{}), 1);
    EXPECT_TRUE(Shown("download_fail"));
    EXPECT_EQ(Text("#download_fail"), "");
}

TEST_F(DownloaderDlgTest, GetterAnswersLiveAndAddsAbsentNames) {
    const std::string get = "window.external._velmora_GetAppParams";
    window->App().params.Set("Version", "1.2.3");
    EXPECT_EQ(Eval(get + "('Version')"), "1.2.3");
    window->App().params.Set("Version", "2.0 版 & <b>");
    EXPECT_EQ(Eval(get + "('Version')"), "2.0 版 & <b>");
    ASSERT_FALSE(window->App().params.Contains("Absent&Name"));
    EXPECT_EQ(Eval(get + "('Absent&Name') === ''"), "true");
    EXPECT_TRUE(window->App().params.Contains("Absent&Name"));
    EXPECT_EQ(Eval(get + "(null) === ''"), "true");
}

TEST_F(DownloaderDlgTest, CallsKeepTheirArgumentsAndOrder) {
    InstallRecorder("jsRecord");
    Eval(
        "window.errors = 0; window.addEventListener('error', function () { errors++; });"
        "window.jsThrow = function (x) { calls.push(['threw', x]); throw new Error(x); }; 1");
    Dlg().InvokeScript("", {"x"});
    Dlg().InvokeScript("jsNoSuchFunction", {"x"});
    Dlg().InvokeScript("jsRecord", {"42", "1.50"});
    Dlg().InvokeScript("jsThrow", {"42"});
    Dlg().InvokeScript("jsRecord", {});
    Dlg().InvokeScript("jsRecord", {"1.50", "42", "jsRecord", "42"});
    Dlg().InvokeScript("jsRecord", {"it's \"q\" \\ \n\xE2\x80\xA8 </script>"});
    EXPECT_EQ(Eval("JSON.stringify(calls)"),
              R"([["42","1.50"],["threw","42"],[],["1.50","42","jsRecord","42"],)"
              "[\"it's \\\"q\\\" \\\\ \\n\xE2\x80\xA8 </script>\"]]");
    EXPECT_EQ(Eval("errors"), "0");
}

TEST_F(DownloaderDlgTest, OneWakeUpGoesToThePageAsOneBatch) {
    InstallRecorder("jsUpdateProgress");
    const std::size_t batches = Dlg().Bridge()->BatchesSent();
    for (int percent = 1; percent <= 5; ++percent)
        PostMessage(Dlg().GetSafeHwnd(), UpdateProgress{1048576u * percent, percent});
    window->Settle();
    EXPECT_EQ(Dlg().Bridge()->BatchesSent(), batches + 1);
    EXPECT_EQ(Eval("JSON.stringify(calls)"),
              R"([["1","1.00"],["2","2.00"],["3","3.00"],["4","4.00"],["5","5.00"]])");
}

TEST_F(DownloaderDlgTest, OneScriptIsOnItsWayAtATimeAndLaterCallsJoinTheNext) {
    Eval(
        "window.order = []; window.jsRecord = function (x) { order.push(x); };"
        "window.jsSlow = function (x) {"
        "  for (var t = Date.now(); Date.now() - t < 1500;) {} order.push(x); }; 1");
    // Turns of the main loop, in which the collected calls are sent when they can be.
    const auto turn = [] {
        for (int i = 0; i < 10; ++i) g_main_context_iteration(nullptr, FALSE);
    };
    const std::size_t batches = Dlg().Bridge()->BatchesSent();
    Dlg().InvokeScript("jsSlow", {"0"});
    turn();  // the page is busy with it for a while
    for (int i = 1; i <= 3; ++i) {
        Dlg().InvokeScript("jsRecord", {std::to_string(i)});
        turn();
    }
    EXPECT_EQ(Dlg().Bridge()->BatchesSent(), batches + 1);
    EXPECT_FALSE(Dlg().Bridge()->IsIdle());
    EXPECT_EQ(Eval("order.join()"), "0,1,2,3");
    EXPECT_EQ(Dlg().Bridge()->BatchesSent(), batches + 2);
}

TEST_F(DownloaderDlgTest, LongBacklogArrivesInSlicesWithEveryCallInOrder) {
    Eval(
        "window.calls = 0; window.outOfOrder = 0;"
        "window.jsUpdateProgress = function (percent) {"
        "  if (percent !== String(calls % 100)) outOfOrder++; calls++; }; 1");
    const std::size_t batches = Dlg().Bridge()->BatchesSent();
    constexpr int kEvents = 20000;  // about 2 MiB of calls
    for (int i = 0; i < kEvents; ++i)
        PostMessage(Dlg().GetSafeHwnd(), UpdateProgress{4096u * i, i % 100});
    window->Settle();
    EXPECT_GT(Dlg().Bridge()->BatchesSent(), batches + 1);
    EXPECT_EQ(Eval("calls + '/' + outOfOrder"), std::to_string(kEvents) + "/0");
}

TEST_F(DownloaderDlgTest, RetryStartsOneMoreWorkerEachTimeButNeverASecondAtOnce) {
    EXPECT_TRUE(window->WaitUntil([&] { return workerRuns == 1; }));
    window->Settle();  // the first worker's end is reported
    // The second Retry arrives while the worker the first one started is still at work.
    holdWorkers = true;
    Eval("window.external._velmora_Retry(); window.external._velmora_Retry(); 1");
    EXPECT_TRUE(window->WaitUntil([&] { return workerRuns == 2; }));
    window->Settle();
    EXPECT_EQ(Dlg().WorkersStarted(), 2u);
    holdWorkers = false;
    // The released worker ends and its end is reported.
    static_cast<void>(window->WaitUntil([] { return false; }, std::chrono::milliseconds(300)));
    Eval("window.external._velmora_Retry(); 1");
    EXPECT_TRUE(window->WaitUntil([&] { return workerRuns == 3; }));
    EXPECT_EQ(Dlg().WorkersStarted(), 3u);
    EXPECT_EQ(window->App().quit.load(), 0);
}

TEST_F(DownloaderDlgTest, MoveTitleBarWithoutAPressedButtonLeavesTheWindowAlone) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    gtk_window_get_position(GTK_WINDOW(Dlg().Widget()), &x0, &y0);
    Eval("window.external._velmora_MoveTitleBar(70000, 5); 1");
    window->Settle();
    gtk_window_get_position(GTK_WINDOW(Dlg().Widget()), &x1, &y1);
    EXPECT_EQ(x1, x0);
    EXPECT_EQ(y1, y0);
    EXPECT_FALSE(Dlg().IsEnded());
}

TEST_F(DownloaderDlgTest, WindowIsShapedTitledAndUndecorated) {
    GtkWindow* win = GTK_WINDOW(Dlg().Widget());
    EXPECT_STREQ(gtk_window_get_title(win), "Tavrin手机伴侣");
    EXPECT_FALSE(gtk_window_get_decorated(win));
    EXPECT_FALSE(gtk_window_get_resizable(win));
    int width = 0, height = 0;
    gtk_window_get_size(win, &width, &height);
    EXPECT_EQ(width, 627);
    EXPECT_EQ(height, 467);
}

TEST_F(DownloaderDlgTest, SystemCommandWithLowBitsOpensTheAboutBox) {
    struct Seen {
        bool opened = false;
        std::string labels;
    } seen;
    // The box is modal: a timer looks at it and presses "确定".
    g_timeout_add(
        100,
        +[](gpointer data) {
            auto* seen = static_cast<Seen*>(data);
            GList* windows = gtk_window_list_toplevels();
            for (GList* item = windows; item; item = item->next) {
                GtkWindow* win = GTK_WINDOW(item->data);
                if (g_strcmp0(gtk_window_get_title(win), CAboutDlg::kCaption) != 0) continue;
                if (!gtk_widget_get_visible(GTK_WIDGET(win))) continue;
                seen->opened = true;
                seen->labels = LabelTexts(GTK_WIDGET(win));
                gtk_dialog_response(GTK_DIALOG(win), GTK_RESPONSE_OK);
            }
            g_list_free(windows);
            return seen->opened ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        &seen);
    Dlg().OnSysCommand(0x0013);
    EXPECT_TRUE(seen.opened);
    EXPECT_EQ(seen.labels.find("Downloader，1.0 版|"), 0u) << seen.labels;
    EXPECT_NE(seen.labels.find("|确定|"), std::string::npos) << seen.labels;
    EXPECT_FALSE(Dlg().IsEnded());
}

TEST_F(DownloaderDlgTest, PageHasItsLibraryStyleAndPictures) {
    EXPECT_EQ(Eval("jQuery.fn.jquery"), "1.5.1");
    // Both scripts are "/JS/" with different ids: each must have been served as itself.
    EXPECT_EQ(Eval("typeof jsUpdateProgress"), "function");
    EXPECT_EQ(Eval("getComputedStyle(document.querySelector('.Progressbarbg')).width"), "464px");
    EXPECT_EQ(Eval("Array.prototype.every.call(document.images, function (img) {"
                   "  return img.complete && img.naturalWidth > 0; })"),
              "true");
    EXPECT_EQ(Eval("document.querySelector('.head_info img').naturalWidth"), "68");
    // The page read its parameters through the getter when it was ready.
    EXPECT_TRUE(window->App().params.Contains("Version"));
    EXPECT_TRUE(window->App().params.Contains("Channel"));
    GList* icons = gtk_window_get_icon_list(GTK_WINDOW(Dlg().Widget()));
    EXPECT_EQ(g_list_length(icons), 3u);
    g_list_free(icons);
}

TEST(DownloaderDlgLoading, WorkerStartsAtOnceAndItsEventsWaitForThePageInOrder) {
    if (!InitGtkForTests()) GTEST_SKIP() << "no display";
    std::atomic<bool> reported{false};
    WindowUnderTest window([&](CWorkerHost* host) {
        // What an offline start sends at once, and a transfer's first reports: none may be
        // lost to a page still loading, nor overtake another.
        const WindowHandle hwnd = host->GetSafeHwnd();
        PostMessage(hwnd, UpdateFileSize{41943040});
        for (int percent = 0; percent < 3; ++percent)
            PostMessage(hwnd, UpdateProgress{1048576u * percent, percent});
        PostMessage(hwnd, UpdateSpeed{12});
        SendDownFail(hwnd, "网络连接失败！");
        reported = true;
        return 0u;
    });
    // The update information is asked for while the page is still loading.
    EXPECT_EQ(window.Dlg().WorkersStarted(), 1u);
    ASSERT_FALSE(window.Dlg().IsPageReady());
    ASSERT_TRUE(window.WaitUntil([&] { return reported.load(); }));
    ASSERT_TRUE(window.WaitForPage());
    EXPECT_EQ(window.Eval("document.getElementById('download_fail').textContent"),
              "网络连接失败！");
    EXPECT_NE(window.Eval("getComputedStyle(document.getElementById('retry')).display"), "none");
    EXPECT_EQ(window.Eval("document.querySelector('.download_info').textContent"),
              "下载进度 2.00M/40.00M,下载速度 12.00 KB/s");
    EXPECT_EQ(window.Eval("document.getElementById('Progressbar').style.width"), "2%");
    EXPECT_EQ(window.Dlg().Bridge()->CallsSent(), 6u);
}

TEST_F(DownloaderDlgTest, PageComesBackWhenItsProcessEnds) {
    webkit_web_view_terminate_web_process(Dlg().WebView());
    ASSERT_TRUE(window->WaitUntil([&] { return !Dlg().IsPageReady(); }));
    ASSERT_TRUE(window->WaitForPage());
    window->PostAndSettle(UpdateSpeed{5});
    EXPECT_EQ(Text("#speed"), ",下载速度 5.00 KB/s");
}

TEST_F(DownloaderDlgTest, WorkerMessageBoxWaitsForTheUser) {
    std::atomic<bool> returned{false};
    g_timeout_add(
        50,
        +[](gpointer) {
            GList* windows = gtk_window_list_toplevels();
            bool answered = false;
            for (GList* item = windows; item; item = item->next) {
                if (!GTK_IS_MESSAGE_DIALOG(item->data)) continue;
                if (!gtk_widget_get_visible(GTK_WIDGET(item->data))) continue;
                if (LabelTexts(GTK_WIDGET(item->data)).find("网络连接失败") == std::string::npos)
                    continue;
                gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_OK);
                answered = true;
            }
            g_list_free(windows);
            return answered ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        nullptr);
    std::thread worker([&] {
        Dlg().MessageBox("网络连接失败！", "提示", MB_OK_ICONEXCLAMATION_SETFOREGROUND);
        returned = true;
    });
    EXPECT_TRUE(window->WaitUntil([&] { return returned.load(); }));
    worker.join();
}

// The proxy's login question says what it asks for, and answers nothing when its window goes
// (GTK keeps a window manager's close from a window under a modal box; destroying it is what
// the program's end does). Typing and answering it are the end-to-end tests'.
TEST_F(DownloaderDlgTest, ProxyLoginQuestionGoesWithItsWindow) {
    g_timeout_add(
        50,
        +[](gpointer main) -> gboolean {
            GtkWidget* box = nullptr;
            GList* windows = gtk_window_list_toplevels();
            for (GList* item = windows; item; item = item->next)
                if (GTK_IS_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data)))
                    box = GTK_WIDGET(item->data);
            g_list_free(windows);
            if (!box) return G_SOURCE_CONTINUE;
            EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(box)), "代理服务器需要登录");
            // A grid lists its children last first.
            EXPECT_EQ(LabelTexts(box),
                      "密码：|用户名：|代理服务器 10.0.0.1:3128 需要用户名和密码：|取消|确定|");
            gtk_entry_set_text(GTK_ENTRY(gtk_window_get_focus(GTK_WINDOW(box))), "user");
            gtk_widget_destroy(GTK_WIDGET(main));
            return G_SOURCE_REMOVE;
        },
        Dlg().Widget());
    std::atomic<int> answered{-1};
    CProxyCredentials login;
    std::thread worker([&] { answered = Dlg().AskProxyLogin("10.0.0.1:3128", login); });
    EXPECT_TRUE(window->WaitUntil([&] { return answered.load() >= 0; }));
    worker.join();
    EXPECT_EQ(answered.load(), 0);
    EXPECT_STREQ(login.User(), "");
}

TEST_F(DownloaderDlgTest, ContextMenuEndsWithTheAboutEntry) {
    struct Seen {
        bool shown = false;
        bool separatorBefore = false;
        GAction* about = nullptr;
    } seen;
    // Runs after the host's own handler, looks at the finished menu and keeps it from showing.
    g_signal_connect_after(Dlg().WebView(), "context-menu",
                           G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu* menu, GdkEvent*,
                                          WebKitHitTestResult*, gpointer data) {
                               auto* seen = static_cast<Seen*>(data);
                               seen->shown = true;
                               const guint count = webkit_context_menu_get_n_items(menu);
                               if (count < 2) return TRUE;
                               seen->separatorBefore = webkit_context_menu_item_is_separator(
                                   webkit_context_menu_get_item_at_position(menu, count - 2));
                               GAction* action = webkit_context_menu_item_get_gaction(
                                   webkit_context_menu_get_item_at_position(menu, count - 1));
                               seen->about = action ? G_ACTION(g_object_ref(action)) : nullptr;
                               return TRUE;
                           }),
                           &seen);
    GtkWidget* view = GTK_WIDGET(Dlg().WebView());
    GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(view));
    for (GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(view)));
        event->button.button = 3;
        event->button.x = 300;
        event->button.y = 200;
        event->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(event, gdk_seat_get_pointer(seat));
        gtk_widget_event(view, event);
        gdk_event_free(event);
    }
    ASSERT_TRUE(window->WaitUntil([&] { return seen.shown; }, 5s));
    EXPECT_TRUE(seen.separatorBefore);
    ASSERT_NE(seen.about, nullptr);

    bool aboutOpened = false;
    g_timeout_add(
        100,
        +[](gpointer data) {
            GList* windows = gtk_window_list_toplevels();
            for (GList* item = windows; item; item = item->next) {
                if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(item->data)), CAboutDlg::kCaption))
                    continue;
                *static_cast<bool*>(data) = true;
                gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_OK);
            }
            g_list_free(windows);
            return *static_cast<bool*>(data) ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
        },
        &aboutOpened);
    g_action_activate(seen.about, nullptr);
    EXPECT_TRUE(aboutOpened);
    g_object_unref(seen.about);
}

TEST(DownloaderDlgLoading, SlowAdvertisementHoldsNothingBack) {
    if (!InitGtkForTests()) GTEST_SKIP() << "no display";
    // The web server answers the advertisement request only when released; the program asks
    // it on a thread of its own, so the page and the worker go on meanwhile.
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    httplib::Server server;
    KeepFromChildProcesses(server);
    std::string asked;
    server.Get("/tools/updateinfo.php", [&](const httplib::Request& req, httplib::Response& res) {
        std::unique_lock lock(mutex);
        asked = req.target;
        released.wait_for(lock, 20s, [&] { return release; });
        res.set_content("", "text/javascript");
    });
    const std::string host = DOWNLOADER_WEB_HOST_FOR_TESTS;
    const int port = std::stoi(host.substr(host.rfind(':') + 1));
    if (!server.bind_to_port("127.0.0.1", port)) GTEST_SKIP() << "web host port is in use";
    std::thread serving([&] { server.listen_after_bind(); });

    {
        WindowUnderTest window;
        EXPECT_TRUE(window.WaitForPage());
        EXPECT_EQ(window.Dlg().WorkersStarted(), 1u);
        EXPECT_TRUE(window.WaitUntil([&] {
            std::lock_guard lock(mutex);
            return !asked.empty();
        }));
        {
            // The page's own request as it always was: callback first, a time stamp last.
            std::lock_guard lock(mutex);
            EXPECT_TRUE(std::regex_match(asked, std::regex("/tools/updateinfo\\.php\\?callback="
                                                           "jsonp[0-9]+&version=[^&]*&type=ad&"
                                                           "channel=[^&]*&_=[0-9]+")))
                << asked;
        }
        window.PostAndSettle(UpdateSpeed{9});
        EXPECT_EQ(window.Eval("document.getElementById('speed').textContent"),
                  ",下载速度 9.00 KB/s");
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
    }
    server.stop();
    serving.join();
}

// Starting the installer and opening links: a recording xdg-open first on PATH writes each
// call to a file.
class InstallerStartTest : public DownloaderDlgTest {
  protected:
    void SetUp() override {
        const std::string script = dir / "xdg-open";
        WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> \"" + (dir / "calls") + "\"\n");
        ASSERT_EQ(chmod(script.c_str(), 0755), 0);
        savedPath = g_getenv("PATH") ? g_getenv("PATH") : "";
        g_setenv("PATH", (dir.Path() + ":" + savedPath).c_str(), TRUE);
        DownloaderDlgTest::SetUp();
        if (window) window->App().params.Set("AppPath", dir / "myvelmora_setup1.2.3.exe");
    }
    void TearDown() override { g_setenv("PATH", savedPath.c_str(), TRUE); }

    std::string Calls() { return FileExists(dir / "calls") ? ReadFile(dir / "calls") : ""; }
    // Gives a started xdg-open time to write.
    void WaitForCalls() {
        window->WaitUntil([&] { return !Calls().empty(); }, 2s);
        window->WaitUntil([] { return false; }, 300ms);
    }

    TempDir dir;
    std::string savedPath;
};

TEST_F(InstallerStartTest, CompleteProgressStartsTheInstallerOnceAndEnds) {
    window->PostAndSettle(UpdateProgress{1000, 99});
    EXPECT_FALSE(Dlg().IsEnded());
    EXPECT_EQ(SendMessage(Dlg().GetSafeHwnd(), UpdateProgress{0, 100}), 1);
    // A second completion while xdg-open is still answering starts nothing more.
    EXPECT_EQ(SendMessage(Dlg().GetSafeHwnd(), UpdateProgress{0, 100}), 0);
    // The window ends once xdg-open has answered that it opened the installer.
    EXPECT_TRUE(window->WaitUntil([&] { return Dlg().IsEnded(); }));
    EXPECT_EQ(window->App().quit.load(), 1);
    // Leaving: progress is ignored, size and speed still reach the page.
    EXPECT_EQ(SendMessage(Dlg().GetSafeHwnd(), UpdateProgress{0, 100}), 0);
    EXPECT_EQ(SendMessage(Dlg().GetSafeHwnd(), UpdateProgress{2097152, 50}), 0);
    window->PostAndSettle(UpdateFileSize{1048576});
    window->PostAndSettle(UpdateSpeed{7});
    WaitForCalls();
    EXPECT_EQ(Calls(), (dir / "myvelmora_setup1.2.3.exe") + "\n");
    EXPECT_EQ(Text("#aldownload"), "下载进度 0.00M");  // from the 99 percent before
    EXPECT_EQ(Text("#filesize"), "/1.00M");
    EXPECT_EQ(Text("#speed"), ",下载速度 7.00 KB/s");
}

TEST_F(InstallerStartTest, NothingStartsAfterThePageLeaves) {
    Eval("window.external._velmora_OnExit(); 1");
    EXPECT_TRUE(window->WaitUntil([&] { return Dlg().IsEnded(); }));
    EXPECT_EQ(window->App().quit.load(), 1);
    window->PostAndSettle(UpdateProgress{0, 100});
    WaitForCalls();
    EXPECT_EQ(Calls(), "");
}

TEST_F(InstallerStartTest, VersionDetailsOpenInTheBrowserAndThePageStays) {
    Eval("document.getElementById('versiondetails').click(); 1");
    WaitForCalls();
    EXPECT_EQ(Calls(), "http://" DOWNLOADER_WEB_HOST_FOR_TESTS "/dunasotool/index.php?act=pc\n");
    EXPECT_EQ(Eval("typeof jsUpdateProgress"), "function");
    EXPECT_FALSE(Dlg().IsEnded());
}

TEST_F(InstallerStartTest, ScriptNavigationAwayGoesNowhere) {
    // What a hostile advertisement fragment could run: the page must stay, and no other page
    // may receive window.external.
    httplib::Server elsewhere;
    KeepFromChildProcesses(elsewhere);
    elsewhere.Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body>elsewhere</body></html>", "text/html");
    });
    const int port = elsewhere.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { elsewhere.listen_after_bind(); });
    Eval("location.href = 'http://127.0.0.1:" + std::to_string(port) + "/'; 1");
    WaitForCalls();
    elsewhere.stop();
    serving.join();
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Eval("typeof jsUpdateProgress"), "function");
    EXPECT_EQ(Eval("location.protocol"), "res:");
}

}  // namespace
