#pragma once
// Moving the borderless window by its title strip. The page only says that the strip was
// pressed; the window follows the pointer once it has moved past the desktop's drag threshold
// with the button still down. A press that does not move stays a click: starting the move at
// the press itself would hand the button's release to the move, and the page would never see
// its click.

#include <gtk/gtk.h>

class CTitleBarDrag {
  public:
    // Watches the pointer on surface (the widget that receives the presses on the strip) and
    // moves window.
    CTitleBarDrag(GtkWindow* window, GtkWidget* surface);
    ~CTitleBarDrag();
    CTitleBarDrag(const CTitleBarDrag&) = delete;
    CTitleBarDrag& operator=(const CTitleBarDrag&) = delete;

    // The page's title strip was pressed. Nothing when button 1 is no longer down.
    void Arm();
    bool Armed() const { return m_armed; }

  private:
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);

    // Starts the move when the pointer at (rootX, rootY) is past the threshold.
    void FollowPointer(double rootX, double rootY, guint32 time);
    int Threshold() const;

    GtkWindow* m_window;
    GtkWidget* m_surface;
    bool m_pressed = false;
    bool m_armed = false;
    // Where button 1 went down, in root coordinates: the move keeps that point under the
    // pointer.
    double m_pressX = 0;
    double m_pressY = 0;
};
