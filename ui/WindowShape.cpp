#include "ui/WindowShape.h"

#include <gdk/gdk.h>

#include <numbers>

namespace {

void RoundRectPath(cairo_t* cr, double left, double top, double right, double bottom, double rx,
                   double ry) {
    constexpr double kPi = std::numbers::pi;
    auto corner = [&](double cx, double cy, double from, double to) {
        cairo_save(cr);
        cairo_translate(cr, cx, cy);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, from, to);
        cairo_restore(cr);
    };
    cairo_new_path(cr);
    corner(right - rx, top + ry, -kPi / 2, 0);
    corner(right - rx, bottom - ry, 0, kPi / 2);
    corner(left + rx, bottom - ry, kPi / 2, kPi);
    corner(left + rx, top + ry, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

}  // namespace

CairoRegionPtr CreateRoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth,
                                     int ellipseHeight) {
    if (right <= left || bottom <= top) return CairoRegionPtr(cairo_region_create());
    // A 1-bit mask the size of the whole area, so that the region keeps its own offsets.
    CairoSurfacePtr mask(cairo_image_surface_create(CAIRO_FORMAT_A1, right, bottom));
    CairoPtr cr(cairo_create(mask.get()));
    cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
    RoundRectPath(cr.get(), left, top, right, bottom, ellipseWidth / 2.0, ellipseHeight / 2.0);
    cairo_fill(cr.get());
    cairo_surface_flush(mask.get());
    return CairoRegionPtr(gdk_cairo_region_create_from_surface(mask.get()));
}

void ApplyWindowShape(GtkWidget* window, int width, int height) {
    CairoRegionPtr region = CreateRoundRectRegion(2, 2, width, height, 6, 6);
    gtk_widget_shape_combine_region(window, region.get());
}
