#include "tools/art/Paint.h"

#include <algorithm>

namespace {

constexpr const char* kFontFamilies =
    "Noto Sans CJK SC,WenQuanYi Micro Hei,Droid Sans Fallback,DejaVu Sans,sans-serif";

double Channel(std::uint32_t rgb, int shift) {
    return ((rgb >> shift) & 0xff) / 255.0;
}

LayoutPtr MakeLayout(cairo_t* cr, const std::string& utf8, const TextStyle& style) {
    LayoutPtr layout(pango_cairo_create_layout(cr));
    FontDescriptionPtr font(pango_font_description_new());
    pango_font_description_set_family(font.get(), kFontFamilies);
    pango_font_description_set_weight(font.get(),
                                      style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(font.get(), style.pixelSize * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font.get());
    pango_layout_set_text(layout.get(), utf8.c_str(), -1);
    return layout;
}

}  // namespace

void SetSourceRgb(cairo_t* cr, std::uint32_t rgb, double alpha) {
    cairo_set_source_rgba(cr, Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0), alpha);
}

void RoundedRectPath(cairo_t* cr, double x, double y, double width, double height, double radius) {
    radius = std::min({radius, width / 2, height / 2});
    constexpr double kQuarter = 1.5707963267948966;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + width - radius, y + radius, radius, -kQuarter, 0);
    cairo_arc(cr, x + width - radius, y + height - radius, radius, 0, kQuarter);
    cairo_arc(cr, x + radius, y + height - radius, radius, kQuarter, 2 * kQuarter);
    cairo_arc(cr, x + radius, y + radius, radius, 2 * kQuarter, 3 * kQuarter);
    cairo_close_path(cr);
}

PatternPtr LinearGradient(double x0, double y0, double x1, double y1,
                          std::initializer_list<ColourStop> stops) {
    PatternPtr pattern(cairo_pattern_create_linear(x0, y0, x1, y1));
    for (const ColourStop& stop : stops)
        cairo_pattern_add_color_stop_rgba(pattern.get(), stop.offset, Channel(stop.rgb, 16),
                                          Channel(stop.rgb, 8), Channel(stop.rgb, 0), stop.alpha);
    return pattern;
}

double DrawText(cairo_t* cr, const std::string& utf8, const TextStyle& style, double x, double y) {
    LayoutPtr layout = MakeLayout(cr, utf8, style);
    cairo_save(cr);
    SetSourceRgb(cr, style.rgb, style.alpha);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
    int width = 0;
    pango_layout_get_pixel_size(layout.get(), &width, nullptr);
    return width;
}

double MeasureText(cairo_t* cr, const std::string& utf8, const TextStyle& style) {
    LayoutPtr layout = MakeLayout(cr, utf8, style);
    int width = 0;
    pango_layout_get_pixel_size(layout.get(), &width, nullptr);
    return width;
}
