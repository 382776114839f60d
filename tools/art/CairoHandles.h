#pragma once
// Owners for the cairo and Pango handles the pictures are drawn with.

#include <cairo.h>
#include <glib-object.h>
#include <pango/pangocairo.h>

#include <memory>
#include <stdexcept>

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoPatternRelease {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
struct GObjectRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct FontDescriptionRelease {
    void operator()(PangoFontDescription* description) const {
        pango_font_description_free(description);
    }
};

using SurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using ContextPtr = std::unique_ptr<cairo_t, CairoContextRelease>;
using PatternPtr = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectRelease>;
using FontDescriptionPtr = std::unique_ptr<PangoFontDescription, FontDescriptionRelease>;

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
