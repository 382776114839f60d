// 1 GiB in 4 KiB blocks: 262,144 progress events posted from a worker thread, each becoming
// one call of the page's jsUpdateProgress. Counts the calls in the page, checks their order,
// and reports calls per second and this process's resident memory. Run:
//   xvfb-run -a build-U/bench/ui/bench_ui_script_calls [rounds]
// Each round is timed twice: with a page function that only counts (the bridge alone), then
// with the page's own jsUpdateProgress behind the counter (bridge plus the page's DOM work).

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "BenchSupport.h"
#include "download/WorkerEvents.h"
#include "ui/DownloaderDlg.h"

namespace {

constexpr long kEvents = 262144;
constexpr std::uint32_t kBlock = 4096;

// Replaces jsUpdateProgress by a counter that checks each call's percent and, when
// callThrough is set, hands the call on to the page's own function.
std::string CounterScript(bool callThrough) {
    return std::string(
               "window.pageUpdate = window.pageUpdate || jsUpdateProgress;"
               "window.calls = 0; window.outOfOrder = 0;"
               "window.jsUpdateProgress = function (percent, megabytes) {"
               "  if (percent !== String(Math.floor(calls * 100 / ") +
           std::to_string(kEvents) +
           "))) outOfOrder++;"
           "  calls++;" +
           (callThrough ? "  pageUpdate(percent, megabytes);" : "") + "}; 1";
}

void RunRound(CDownloaderDlg& dlg, bool callThrough) {
    WebKitWebView* view = dlg.WebView();
    EvalInPage(view, CounterScript(callThrough));
    const std::size_t batchesBefore = dlg.Bridge()->BatchesSent();
    const long residentBefore = ResidentKiB();
    const ChildFigures webBefore = WebProcessFigures();
    const double cpuBefore = ProcessCpuSeconds();
    long residentPeak = residentBefore;

    const auto start = BenchClock::now();
    std::thread worker([hwnd = dlg.GetSafeHwnd()] {
        for (long i = 0; i < kEvents; ++i)
            PostMessage(hwnd, UpdateProgress{static_cast<std::uint64_t>(i) * kBlock,
                                             static_cast<std::int32_t>(i * 100 / kEvents)});
    });
    long calls = 0;
    while (calls < kEvents && SecondsSince(start) < 120) {
        calls = std::atol(EvalInPage(view, "calls").c_str());
        residentPeak = std::max(residentPeak, ResidentKiB());
    }
    const double seconds = SecondsSince(start);
    worker.join();
    const long outOfOrder = std::atol(EvalInPage(view, "outOfOrder").c_str());
    const ChildFigures web = WebProcessFigures();
    std::printf(
        "%-26s calls %ld/%ld  out of order %ld  %.3f s  %.0f calls/s  batches %zu  "
        "RSS KiB before %ld peak %ld after %ld  CPU s: this process %.2f, web process %.2f  "
        "web process RSS KiB %ld peak %ld (before %ld)\n",
        callThrough ? "page's jsUpdateProgress:" : "counting function:", calls, kEvents, outOfOrder,
        seconds, calls / seconds, dlg.Bridge()->BatchesSent() - batchesBefore, residentBefore,
        residentPeak, ResidentKiB(), ProcessCpuSeconds() - cpuBefore,
        web.cpuSeconds - webBefore.cpuSeconds, web.residentKiB, web.peakKiB, webBefore.peakKiB);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    g_main_context_acquire(nullptr);
    {
        CAppParams params;
        std::atomic<int> quit{0};
        CDownloaderDlg dlg(AppState{params, quit, "bench"}, [](CWorkerHost*) { return 0u; });
        dlg.Create();
        if (!PumpUntil([&] { return dlg.IsPageReady(); }, std::chrono::seconds(30))) {
            std::fprintf(stderr, "page did not load\n");
            return 1;
        }
        std::printf("RSS KiB with the page loaded: %ld\n", ResidentKiB());
        for (int round = 0; round < rounds; ++round) {
            RunRound(dlg, false);
            RunRound(dlg, true);
        }
    }
    g_main_context_release(nullptr);
    return 0;
}
