#include "WindowUnderTest.h"

#include <gtk/gtk.h>

#include <memory>

#include "ui/GObjectPtr.h"

bool InitGtkForTests() {
    static const bool ok = gtk_init_check(nullptr, nullptr);
    return ok;
}

unsigned IdleWorker(CWorkerHost*) {
    return 0;
}

WindowUnderTest::WindowUnderTest(CDownloaderDlg::WorkerProc worker)
    : m_dlg(m_app.State(), std::move(worker)) {
    m_dlg.Create();
}

WindowUnderTest::~WindowUnderTest() = default;

bool WindowUnderTest::WaitUntil(const std::function<bool()>& condition,
                                std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
    }
    return true;
}

bool WindowUnderTest::WaitForPage() {
    return WaitUntil([this] { return m_dlg.IsPageReady(); });
}

void WindowUnderTest::Settle() {
    // The queue's wake-up and the bridge's flush are both ready at once; then the page runs
    // what the bridge sent, one script at a time.
    for (int round = 0; round < 50 && g_main_context_iteration(nullptr, FALSE); ++round) {
    }
    WaitUntil([this] { return !m_dlg.IsPageReady() || m_dlg.Bridge()->IsIdle(); });
}

std::string WindowUnderTest::Eval(const std::string& script) {
    Settle();
    struct Outcome {
        bool done = false;
        std::string text;
    };
    // Shared with the callback, which may come after a timed-out wait has returned.
    auto outcome = std::make_shared<Outcome>();
    webkit_web_view_evaluate_javascript(
        m_dlg.WebView(), script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* view, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Outcome>> out(
                static_cast<std::shared_ptr<Outcome>*>(data));
            GObjectPtr<JSCValue> value(
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr));
            if (value && !jsc_value_is_undefined(value.get())) {
                GCharPtr text(jsc_value_to_string(value.get()));
                (*out)->text = text ? text.get() : "";
            }
            (*out)->done = true;
        },
        new std::shared_ptr<Outcome>(outcome));
    WaitUntil([&] { return outcome->done; });
    return outcome->text;
}

void WindowUnderTest::PostAndSettle(WorkerEvent event) {
    PostMessage(m_dlg.GetSafeHwnd(), std::move(event));
    Settle();
}

void WindowUnderTest::RecordExternalCalls() {
    Eval(
        "window.externalCalls = []; var ext = window.external;"
        "Object.keys(ext).forEach(function (k) { var f = ext[k]; ext[k] = function () {"
        "  externalCalls.push(k.replace('_velmora_', '') + '(' + [].join.call(arguments) + ')');"
        "  return f.apply(ext, arguments); }; }); 1");
}
