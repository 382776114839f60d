#pragma once
// The application's icon in its three sizes (16, 32 and 48 px), from the resource bundle.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <vector>

#include "ui/GObjectPtr.h"

class CIconSet {
  public:
    // Loads what the bundle holds; sizes that are missing are left out.
    CIconSet();

    bool Empty() const { return m_icons.empty(); }
    // A new list of the icons (the pixbufs are not referenced again), for
    // gtk_window_set_icon_list; free it with g_list_free.
    GList* NewList() const;
    // The icon closest to size pixels, or nullptr.
    GdkPixbuf* Nearest(int size) const;

  private:
    std::vector<GObjectPtr<GdkPixbuf>> m_icons;
};
