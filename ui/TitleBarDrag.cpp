#include "ui/TitleBarDrag.h"

#include <cmath>

CTitleBarDrag::CTitleBarDrag(GtkWindow* window, GtkWidget* surface)
    : m_window(window), m_surface(surface) {
    gtk_widget_add_events(
        surface, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    // Connected before the web view's own handlers run, and never claiming the event: the page
    // sees every press, move and release as before.
    g_signal_connect(surface, "button-press-event", G_CALLBACK(&CTitleBarDrag::OnButtonPress),
                     this);
    g_signal_connect(surface, "button-release-event", G_CALLBACK(&CTitleBarDrag::OnButtonRelease),
                     this);
    g_signal_connect(surface, "motion-notify-event", G_CALLBACK(&CTitleBarDrag::OnMotion), this);
}

CTitleBarDrag::~CTitleBarDrag() {
    g_signal_handlers_disconnect_by_data(m_surface, this);
}

void CTitleBarDrag::Arm() {
    // The page's word comes after the press, through the page's process: the button may be up
    // by now (a quick click), or the pointer already far away (a quick drag).
    if (!m_pressed) return;
    m_armed = true;
    GdkWindow* window = gtk_widget_get_window(m_surface);
    if (!window) return;
    GdkDevice* pointer =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(window)));
    int rootX = 0;
    int rootY = 0;
    gdk_device_get_position(pointer, nullptr, &rootX, &rootY);
    FollowPointer(rootX, rootY, gtk_get_current_event_time());
}

gboolean CTitleBarDrag::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* drag = static_cast<CTitleBarDrag*>(self);
    if (event->button != GDK_BUTTON_PRIMARY || event->type != GDK_BUTTON_PRESS) return FALSE;
    drag->m_pressed = true;
    drag->m_armed = false;
    drag->m_pressX = event->x_root;
    drag->m_pressY = event->y_root;
    return FALSE;
}

gboolean CTitleBarDrag::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* drag = static_cast<CTitleBarDrag*>(self);
    if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
    drag->m_pressed = false;
    drag->m_armed = false;
    return FALSE;
}

gboolean CTitleBarDrag::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    auto* drag = static_cast<CTitleBarDrag*>(self);
    if (!(event->state & GDK_BUTTON1_MASK)) {
        // The release went elsewhere (a grab, another window): this press is over.
        drag->m_pressed = false;
        drag->m_armed = false;
        return FALSE;
    }
    if (drag->m_armed) drag->FollowPointer(event->x_root, event->y_root, event->time);
    return FALSE;
}

void CTitleBarDrag::FollowPointer(double rootX, double rootY, guint32 time) {
    const double threshold = Threshold();
    if (std::fabs(rootX - m_pressX) <= threshold && std::fabs(rootY - m_pressY) <= threshold)
        return;
    // The move takes the pointer until the release, which this window no longer sees.
    m_armed = false;
    m_pressed = false;
    gtk_window_begin_move_drag(m_window, GDK_BUTTON_PRIMARY, static_cast<int>(m_pressX),
                               static_cast<int>(m_pressY), time);
}

int CTitleBarDrag::Threshold() const {
    int threshold = 8;
    g_object_get(gtk_widget_get_settings(m_surface), "gtk-dnd-drag-threshold", &threshold, nullptr);
    return threshold;
}
