#include "tools/art/ProgressBarArt.h"

#include "tools/art/Paint.h"
#include "tools/art/Palette.h"

SurfacePtr DrawProgressTrack() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_RGB24, kTrackWidth, kTrackHeight);
    ContextPtr cr = MakeContext(surface.get());
    SetSourceRgb(cr.get(), palette::kFace);
    cairo_paint(cr.get());

    RoundedRectPath(cr.get(), 0, 0, kTrackWidth, kTrackHeight, 4);
    SetSourceRgb(cr.get(), 0xb9b9b9);
    cairo_fill(cr.get());
    // A sunken channel: shaded at the top, light at the bottom.
    RoundedRectPath(cr.get(), 1, 1, kTrackWidth - 2, kTrackHeight - 2, 3);
    PatternPtr channel =
        LinearGradient(0, 1, 0, kTrackHeight - 1, {{0, 0xdadada}, {0.3, 0xf2f2f2}, {1, 0xffffff}});
    cairo_set_source(cr.get(), channel.get());
    cairo_fill(cr.get());
    return surface;
}

SurfacePtr DrawProgressFill() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_ARGB32, kFillWidth, kFillHeight);
    ContextPtr cr = MakeContext(surface.get());

    RoundedRectPath(cr.get(), 0, 0, kFillWidth, kFillHeight, 3.5);
    SetSourceRgb(cr.get(), palette::kBrandDark);
    cairo_fill_preserve(cr.get());
    cairo_clip(cr.get());

    RoundedRectPath(cr.get(), 1, 1, kFillWidth - 2, kFillHeight - 2, 2.5);
    PatternPtr body = LinearGradient(0, 1, 0, kFillHeight - 1,
                                     {{0, 0x7cc3ff}, {0.5, palette::kBrand}, {1, 0x2169d4}});
    cairo_set_source(cr.get(), body.get());
    cairo_fill(cr.get());

    // Gentle diagonal stripes, then a gloss over the upper half.
    SetSourceRgb(cr.get(), 0xffffff, 0.10);
    for (double x = -kFillHeight; x < kFillWidth; x += 14) {
        cairo_move_to(cr.get(), x, kFillHeight);
        cairo_line_to(cr.get(), x + kFillHeight, 0);
        cairo_line_to(cr.get(), x + kFillHeight + 6, 0);
        cairo_line_to(cr.get(), x + 6, kFillHeight);
        cairo_close_path(cr.get());
    }
    cairo_fill(cr.get());
    cairo_rectangle(cr.get(), 1, 1, kFillWidth - 2, 4);
    PatternPtr gloss = LinearGradient(0, 1, 0, 5, {{0, 0xffffff, 0.45}, {1, 0xffffff, 0.08}});
    cairo_set_source(cr.get(), gloss.get());
    cairo_fill(cr.get());
    return surface;
}
