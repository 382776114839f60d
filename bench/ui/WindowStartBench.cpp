// Start-to-paint time of the download window: from entering main until the page's own
// background shows on screen (a pixel of the window's grey body read back from the X server),
// with the moments the window was shown and the page finished loading. One start per process:
//   for i in 1 2 3 4 5; do xvfb-run -a build-U/bench/ui/bench_ui_window_start; done

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "BenchSupport.h"
#include "ui/DownloaderDlg.h"
#include "ui/GObjectPtr.h"

namespace {

// A point of the page's plain #eeeeee body, left of the advertisement box.
constexpr int kProbeX = 10;
constexpr int kProbeY = 200;

bool PageBodyOnScreen(GtkWidget* window) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    if (!gdkWindow || !gdk_window_is_viewable(gdkWindow)) return false;
    GObjectPtr<GdkPixbuf> pixel(gdk_pixbuf_get_from_window(gdkWindow, kProbeX, kProbeY, 1, 1));
    if (!pixel) return false;
    const guchar* rgb = gdk_pixbuf_read_pixels(pixel.get());
    for (int channel = 0; channel < 3; ++channel)
        if (std::abs(rgb[channel] - 0xEE) > 3) return false;
    return true;
}

}  // namespace

int main() {
    const auto start = BenchClock::now();
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    g_main_context_acquire(nullptr);
    int status = 0;
    {
        CAppParams params;
        std::atomic<int> quit{0};
        CDownloaderDlg dlg(AppState{params, quit, "bench"}, [](CWorkerHost*) { return 0u; });
        dlg.Create();
        const double shown = SecondsSince(start);
        double loaded = -1;
        const bool painted = PumpUntil(
            [&] {
                if (loaded < 0 && dlg.IsPageReady()) loaded = SecondsSince(start);
                return PageBodyOnScreen(dlg.Widget());
            },
            std::chrono::seconds(10));
        if (painted) {
            std::printf("window shown %.3f s  page loaded %.3f s  page painted %.3f s\n", shown,
                        loaded, SecondsSince(start));
        } else {
            std::printf("page not painted within 10 s\n");
            status = 1;
        }
    }
    g_main_context_release(nullptr);
    return status;
}
