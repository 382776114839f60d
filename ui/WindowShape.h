#pragma once
// The window's rounded outline: a rounded rectangle from (left, top) up to, not including,
// (right, bottom), with corners cut along an ellipse of the given size.

#include <gtk/gtk.h>

#include "ui/GObjectPtr.h"

CairoRegionPtr CreateRoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth,
                                     int ellipseHeight);

// Gives the window its outline: the two leftmost and topmost pixel rows cut away, 6 x 6
// corners. No alpha channel is needed, so it looks the same without a compositor.
void ApplyWindowShape(GtkWidget* window, int width, int height);
