#include "ui/StartupTrace.h"

#include "base/DebugTrace.h"

void TraceMoment(const char* what) {
    TRACE("%s at epoch %.3f\n", what, static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC);
}

void TraceNextDraw(GtkWidget* widget, const char* what) {
    struct Pending {
        const char* what;
        gulong handler = 0;
    };
    auto* pending = new Pending{what};
    pending->handler = g_signal_connect_data(
        widget, "draw", G_CALLBACK(+[](GtkWidget* drawn, cairo_t*, gpointer data) {
            auto* pending = static_cast<Pending*>(data);
            TraceMoment(pending->what);
            g_signal_handler_disconnect(drawn, pending->handler);  // frees pending
            return FALSE;
        }),
        pending, +[](gpointer data, GClosure*) { delete static_cast<Pending*>(data); },
        G_CONNECT_AFTER);
}
