#include "ui/PresentWindow.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

void PresentWindow(GtkWindow* window) {
    guint32 time = GDK_CURRENT_TIME;
#ifdef GDK_WINDOWING_X11
    // The request comes from a start the user just made, not from an event of this window: the
    // window's own last user time would make a window manager's focus-stealing prevention
    // refuse the focus. The server's present time stands for the start.
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
    if (gdkWindow && GDK_IS_X11_WINDOW(gdkWindow)) time = gdk_x11_get_server_time(gdkWindow);
#endif
    gtk_window_present_with_time(window, time);
}
