#pragma once
// Owners for the cairo and Pango handles the pictures are drawn with.

#include <cairo.h>
#include <glib-object.h>
#include <pango/pangocairo.h>

#include <memory>
#include <stdexcept>

#include "base/CallRelease.h"

using SurfacePtr = std::unique_ptr<cairo_surface_t, CallRelease<cairo_surface_destroy>>;
using ContextPtr = std::unique_ptr<cairo_t, CallRelease<cairo_destroy>>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CallRelease<cairo_pattern_destroy>>;
using LayoutPtr = std::unique_ptr<PangoLayout, CallRelease<g_object_unref>>;
using FontDescriptionPtr =
    std::unique_ptr<PangoFontDescription, CallRelease<pango_font_description_free>>;

// A new image surface; RGB24 for the pictures stored as bitmaps, ARGB32 for those with alpha.
inline SurfacePtr MakeSurface(cairo_format_t format, int width, int height) {
    SurfacePtr surface(cairo_image_surface_create(format, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a cairo surface");
    return surface;
}

inline ContextPtr MakeContext(cairo_surface_t* surface) {
    ContextPtr cr(cairo_create(surface));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a cairo context");
    return cr;
}
