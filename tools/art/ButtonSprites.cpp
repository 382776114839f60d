#include "tools/art/ButtonSprites.h"

#include <cstdint>

#include "tools/art/Paint.h"
#include "tools/art/Palette.h"

namespace {

enum class State { Normal, Hover, Pressed };

// The rounded plate behind hovered and pressed title buttons; none when normal.
void DrawPlate(cairo_t* cr, const SpriteCell& cell, std::uint32_t top, std::uint32_t bottom) {
    RoundedRectPath(cr, cell.x + 1, cell.y, cell.width - 2, cell.height, 3);
    PatternPtr plate = LinearGradient(0, cell.y, 0, cell.y + cell.height, {{0, top}, {1, bottom}});
    cairo_set_source(cr, plate.get());
    cairo_fill(cr);
}

void DrawCloseButton(cairo_t* cr, const SpriteCell& cell, State state) {
    if (state == State::Hover) DrawPlate(cr, cell, 0xf0655c, palette::kCloseHover);
    if (state == State::Pressed) DrawPlate(cr, cell, palette::kClosePressed, 0xa92a23);
    const double nudge = state == State::Pressed ? 1 : 0;
    const double cx = cell.x + cell.width / 2.0;
    const double cy = cell.y + cell.height / 2.0 + nudge;
    const double arm = 3.6;
    cairo_move_to(cr, cx - arm, cy - arm);
    cairo_line_to(cr, cx + arm, cy + arm);
    cairo_move_to(cr, cx + arm, cy - arm);
    cairo_line_to(cr, cx - arm, cy + arm);
    cairo_set_line_width(cr, 1.7);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    SetSourceRgb(cr, state == State::Normal ? palette::kGlyph : 0xffffff);
    cairo_stroke(cr);
}

void DrawMinimiseButton(cairo_t* cr, const SpriteCell& cell, State state) {
    if (state == State::Hover) DrawPlate(cr, cell, 0xe2e2e2, 0xd2d2d2);
    if (state == State::Pressed) DrawPlate(cr, cell, 0xc4c4c4, 0xd0d0d0);
    const double nudge = state == State::Pressed ? 1 : 0;
    const double cx = cell.x + cell.width / 2.0;
    const double y = cell.y + cell.height / 2.0 + 3 + nudge;
    RoundedRectPath(cr, cx - 4.5, y - 1, 9, 2, 0.8);
    SetSourceRgb(cr, state == State::Normal ? palette::kGlyph : 0x3c3c3c);
    cairo_fill(cr);
}

void DrawButtonFace(cairo_t* cr, const SpriteCell& cell, State state) {
    const bool hover = state == State::Hover;
    RoundedRectPath(cr, cell.x, cell.y, cell.width, cell.height, 3.5);
    SetSourceRgb(cr, hover ? 0x5b9be0 : 0xa9a9a9);
    cairo_fill(cr);
    RoundedRectPath(cr, cell.x + 1, cell.y + 1, cell.width - 2, cell.height - 2, 2.5);
    PatternPtr face = hover ? LinearGradient(0, cell.y, 0, cell.y + cell.height,
                                             {{0, 0xf4f9ff}, {0.5, 0xe6f1fd}, {1, 0xcfe3fa}})
                            : LinearGradient(0, cell.y, 0, cell.y + cell.height,
                                             {{0, 0xffffff}, {0.5, 0xf3f3f3}, {1, 0xe1e1e1}});
    cairo_set_source(cr, face.get());
    cairo_fill(cr);
    // A one-pixel highlight inside the top border.
    cairo_rectangle(cr, cell.x + 3, cell.y + 1, cell.width - 6, 1);
    SetSourceRgb(cr, 0xffffff, 0.9);
    cairo_fill(cr);
}

}  // namespace

SurfacePtr DrawButtonSprites() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_ARGB32, kSheetWidth, kSheetHeight);
    ContextPtr cr = MakeContext(surface.get());
    DrawMinimiseButton(cr.get(), kMinimiseNormal, State::Normal);
    DrawMinimiseButton(cr.get(), kMinimiseHover, State::Hover);
    DrawMinimiseButton(cr.get(), kMinimisePressed, State::Pressed);
    DrawCloseButton(cr.get(), kCloseNormal, State::Normal);
    DrawCloseButton(cr.get(), kCloseHover, State::Hover);
    DrawCloseButton(cr.get(), kClosePressed, State::Pressed);
    DrawButtonFace(cr.get(), kButtonNormal, State::Normal);
    DrawButtonFace(cr.get(), kButtonHover, State::Hover);
    return surface;
}
