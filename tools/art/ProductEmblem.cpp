#include "tools/art/ProductEmblem.h"

#include "tools/art/Paint.h"
#include "tools/art/Palette.h"

namespace {

// A heart of the given width centred on (cx, cy).
void HeartPath(cairo_t* cr, double cx, double cy, double width) {
    const double w = width / 2;
    cairo_move_to(cr, cx, cy + w * 0.9);
    cairo_curve_to(cr, cx - w * 1.1, cy + w * 0.1, cx - w * 0.9, cy - w * 0.95, cx, cy - w * 0.35);
    cairo_curve_to(cr, cx + w * 0.9, cy - w * 0.95, cx + w * 1.1, cy + w * 0.1, cx, cy + w * 0.9);
    cairo_close_path(cr);
}

}  // namespace

void DrawProductEmblem(cairo_t* cr, double x, double y, double size) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, size / 100.0, size / 100.0);  // drawn on a 100 x 100 grid

    RoundedRectPath(cr, 0, 0, 100, 100, 22);
    PatternPtr tile =
        LinearGradient(0, 0, 0, 100, {{0, palette::kBrandLight}, {1, palette::kBrandDark}});
    cairo_set_source(cr, tile.get());
    cairo_fill(cr);

    // A soft sheen over the upper half of the tile.
    RoundedRectPath(cr, 3, 3, 94, 46, 19);
    PatternPtr sheen = LinearGradient(0, 3, 0, 49, {{0, 0xffffff, 0.28}, {1, 0xffffff, 0.04}});
    cairo_set_source(cr, sheen.get());
    cairo_fill(cr);

    // The phone: white body, pale screen, speaker slot and button.
    RoundedRectPath(cr, 26, 13, 40, 72, 9);
    SetSourceRgb(cr, 0xffffff);
    cairo_fill(cr);
    RoundedRectPath(cr, 31, 23, 30, 50, 3);
    PatternPtr screen = LinearGradient(0, 23, 0, 73, {{0, 0xd9ecff}, {1, 0x9ccbff}});
    cairo_set_source(cr, screen.get());
    cairo_fill(cr);
    RoundedRectPath(cr, 40, 17, 12, 2.5, 1.25);
    SetSourceRgb(cr, 0x9fb7d6);
    cairo_fill(cr);
    cairo_arc(cr, 46, 79, 3, 0, 6.283185307179586);
    cairo_fill(cr);

    // The companion badge, ringed in white so it reads on both tile and phone.
    cairo_arc(cr, 71, 71, 20, 0, 6.283185307179586);
    SetSourceRgb(cr, 0xffffff);
    cairo_fill(cr);
    cairo_arc(cr, 71, 71, 16, 0, 6.283185307179586);
    PatternPtr badge = LinearGradient(0, 55, 0, 87, {{0, 0x4fd994}, {1, palette::kCompanion}});
    cairo_set_source(cr, badge.get());
    cairo_fill(cr);
    HeartPath(cr, 71, 71, 19);
    SetSourceRgb(cr, 0xffffff);
    cairo_fill(cr);

    cairo_restore(cr);
}

SurfacePtr DrawTitleIcon() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_RGB24, 68, 70);
    ContextPtr cr = MakeContext(surface.get());
    SetSourceRgb(cr.get(), palette::kFace);
    cairo_paint(cr.get());
    DrawProductEmblem(cr.get(), 1, 2, 66);
    return surface;
}

SurfacePtr DrawWindowIcon(int size) {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_ARGB32, size, size);
    ContextPtr cr = MakeContext(surface.get());
    DrawProductEmblem(cr.get(), 0, 0, size);
    return surface;
}
