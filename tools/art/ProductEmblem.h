#pragma once
// The product's mark: a phone on a blue tile with a green companion badge. It appears as the
// title-strip icon, as the window icon and inside the advertisement picture.

#include <cairo.h>

#include "tools/art/CairoHandles.h"

// Draws the mark into the square (x, y, size, size).
void DrawProductEmblem(cairo_t* cr, double x, double y, double size);

// The title-strip icon, 68 x 70, opaque on the page's face colour (it is stored as a bitmap).
SurfacePtr DrawTitleIcon();

// The application icon (window and desktop) at size x size pixels, with alpha.
SurfacePtr DrawWindowIcon(int size);
