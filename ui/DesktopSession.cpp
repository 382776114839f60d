#include "ui/DesktopSession.h"

#include <gtk/gtk.h>

namespace {

// The desktop entry's name without ".desktop": the window's class (X11) and application id
// (Wayland) match it, so the desktop shows the entry's name and icon for the window.
constexpr char kDesktopId[] = "com.velmora.Downloader";

}  // namespace

bool OpenDesktopSession() {
    // X11 first, which a Wayland desktop offers through XWayland: only there does the window
    // keep its rounded outline (a Wayland compositor ignores a client's window shape). Without
    // an X server the window opens on Wayland itself, as a plain rectangle. GDK_BACKEND still
    // chooses between the two.
    gdk_set_allowed_backends("x11,wayland");
    g_set_prgname(kDesktopId);
    return gtk_init_check(nullptr, nullptr);
}
