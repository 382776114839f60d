#pragma once
// Brings a window forward at another program's request: shown again if it was iconified or
// hidden, raised and given the focus.

#include <gtk/gtk.h>

void PresentWindow(GtkWindow* window);
