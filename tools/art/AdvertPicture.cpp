#include "tools/art/AdvertPicture.h"

#include "tools/art/Paint.h"
#include "tools/art/Palette.h"
#include "tools/art/ProductEmblem.h"

namespace {

constexpr double kTurn = 6.283185307179586;

void DrawBackdrop(cairo_t* cr) {
    PatternPtr sky = LinearGradient(0, 0, kAdvertWidth, kAdvertHeight,
                                    {{0, 0x123f9a}, {0.55, 0x1f7fe0}, {1, 0x22c1c8}});
    cairo_set_source(cr, sky.get());
    cairo_paint(cr);

    struct Bubble {
        double x, y, radius, alpha;
    };
    constexpr Bubble kBubbles[] = {{520, 30, 90, 0.07},  {440, 270, 60, 0.06}, {40, 260, 80, 0.05},
                                   {300, -20, 50, 0.05}, {565, 190, 26, 0.09}, {215, 250, 14, 0.1}};
    for (const Bubble& bubble : kBubbles) {
        cairo_arc(cr, bubble.x, bubble.y, bubble.radius, 0, kTurn);
        SetSourceRgb(cr, 0xffffff, bubble.alpha);
        cairo_fill(cr);
    }

    // Two soft waves along the bottom.
    for (int wave = 0; wave < 2; ++wave) {
        const double base = 250 + wave * 16;
        cairo_move_to(cr, 0, base);
        cairo_curve_to(cr, 150, base - 40 + wave * 20, 350, base + 40, kAdvertWidth, base - 30);
        cairo_line_to(cr, kAdvertWidth, kAdvertHeight);
        cairo_line_to(cr, 0, kAdvertHeight);
        cairo_close_path(cr);
        SetSourceRgb(cr, 0xffffff, wave == 0 ? 0.08 : 0.12);
        cairo_fill(cr);
    }
}

void DrawComputer(cairo_t* cr, double x, double y) {
    RoundedRectPath(cr, x, y, 150, 100, 7);
    SetSourceRgb(cr, 0xf4f8ff);
    cairo_fill(cr);
    RoundedRectPath(cr, x + 7, y + 7, 136, 80, 3);
    PatternPtr screen = LinearGradient(0, y, 0, y + 87, {{0, 0x2c5fb8}, {1, 0x173f87}});
    cairo_set_source(cr, screen.get());
    cairo_fill(cr);
    // Rows of a file list on the screen.
    for (int row = 0; row < 4; ++row) {
        RoundedRectPath(cr, x + 18, y + 18 + row * 16, 10, 10, 2);
        SetSourceRgb(cr, row % 2 ? palette::kCompanion : 0x7cc3ff);
        cairo_fill(cr);
        RoundedRectPath(cr, x + 34, y + 21 + row * 16, 90 - row * 14, 4, 2);
        SetSourceRgb(cr, 0xffffff, 0.55);
        cairo_fill(cr);
    }
    cairo_move_to(cr, x + 62, y + 100);
    cairo_line_to(cr, x + 88, y + 100);
    cairo_line_to(cr, x + 95, y + 116);
    cairo_line_to(cr, x + 55, y + 116);
    cairo_close_path(cr);
    SetSourceRgb(cr, 0xdbe6f5);
    cairo_fill(cr);
    RoundedRectPath(cr, x + 40, y + 114, 70, 5, 2.5);
    SetSourceRgb(cr, 0xf4f8ff);
    cairo_fill(cr);
}

void DrawPhone(cairo_t* cr, double x, double y) {
    RoundedRectPath(cr, x + 4, y + 6, 66, 124, 12);
    SetSourceRgb(cr, 0x0b2a66, 0.35);  // shadow
    cairo_fill(cr);
    RoundedRectPath(cr, x, y, 66, 124, 12);
    SetSourceRgb(cr, 0xffffff);
    cairo_fill(cr);
    RoundedRectPath(cr, x + 6, y + 16, 54, 90, 3);
    PatternPtr screen = LinearGradient(0, y + 16, 0, y + 106, {{0, 0xdff0ff}, {1, 0x9fd0ff}});
    cairo_set_source(cr, screen.get());
    cairo_fill(cr);
    // App tiles on the phone screen.
    constexpr std::uint32_t kTiles[] = {
        0xff8a5c, palette::kCompanion, 0xffc33d, palette::kBrand, 0xa57cf5, 0x22c1c8};
    for (int tile = 0; tile < 6; ++tile) {
        RoundedRectPath(cr, x + 11 + (tile % 3) * 16, y + 24 + (tile / 3) * 18, 12, 12, 3);
        SetSourceRgb(cr, kTiles[tile]);
        cairo_fill(cr);
    }
    RoundedRectPath(cr, x + 25, y + 8, 16, 3, 1.5);
    SetSourceRgb(cr, 0xb7c6dc);
    cairo_fill(cr);
    cairo_arc(cr, x + 33, y + 115, 4, 0, kTurn);
    cairo_fill(cr);
}

// Dots arcing from the phone to the computer, with small file badges riding on them.
void DrawTransferArc(cairo_t* cr) {
    for (int dot = 0; dot <= 12; ++dot) {
        const double t = dot / 12.0;
        const double x = 440 + (500 - 440) * t;
        const double y = 150 - 70 * t * (1 - t) * 2 - 20 * t;
        cairo_arc(cr, x, y, 1.8, 0, kTurn);
        SetSourceRgb(cr, 0xffffff, 0.4 + 0.5 * t);
        cairo_fill(cr);
    }
    struct Badge {
        double x, y;
        std::uint32_t rgb;
    };
    constexpr Badge kBadges[] = {{448, 118, 0xffc33d}, {478, 104, palette::kCompanion}};
    for (const Badge& badge : kBadges) {
        RoundedRectPath(cr, badge.x, badge.y, 16, 19, 3);
        SetSourceRgb(cr, 0xffffff);
        cairo_fill(cr);
        RoundedRectPath(cr, badge.x + 3, badge.y + 4, 10, 7, 1.5);
        SetSourceRgb(cr, badge.rgb);
        cairo_fill(cr);
        cairo_rectangle(cr, badge.x + 3, badge.y + 13, 10, 2);
        SetSourceRgb(cr, 0xb7c6dc);
        cairo_fill(cr);
    }
}

void DrawSlogan(cairo_t* cr) {
    DrawProductEmblem(cr, 36, 42, 44);
    DrawText(cr, "Tavrin手机伴侣", {24, true}, 90, 50);

    DrawText(cr, "手机与电脑", {38, true}, 36, 110);
    DrawText(cr, "一线相连", {38, true, 0xffe27a}, 36, 158);
    DrawText(cr, "应用 · 音乐 · 照片 · 通讯录，轻松管理", {15, false, 0xffffff, 0.88}, 38, 214);

    const TextStyle pill{13, false, palette::kBrandDark};
    const double width = MeasureText(cr, "一键备份 · 安全无忧", pill) + 28;
    RoundedRectPath(cr, 36, 244, width, 26, 13);
    SetSourceRgb(cr, 0xffffff);
    cairo_fill(cr);
    DrawText(cr, "一键备份 · 安全无忧", pill, 50, 248);
}

}  // namespace

SurfacePtr DrawAdvertPicture() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_RGB24, kAdvertWidth, kAdvertHeight);
    ContextPtr cr = MakeContext(surface.get());
    DrawBackdrop(cr.get());
    DrawComputer(cr.get(), 395, 150);
    DrawPhone(cr.get(), 352, 104);
    DrawTransferArc(cr.get());
    DrawSlogan(cr.get());
    return surface;
}
