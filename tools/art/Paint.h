#pragma once
// Small drawing helpers over cairo and Pango.

#include <cairo.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "tools/art/CairoHandles.h"

struct ColourStop {
    double offset;
    std::uint32_t rgb;
    double alpha = 1.0;
};

void SetSourceRgb(cairo_t* cr, std::uint32_t rgb, double alpha = 1.0);

// A rectangle with circular corners of the given radius (clamped to half the shorter side).
void RoundedRectPath(cairo_t* cr, double x, double y, double width, double height, double radius);

PatternPtr LinearGradient(double x0, double y0, double x1, double y1,
                          std::initializer_list<ColourStop> stops);

struct TextStyle {
    double pixelSize;
    bool bold = false;
    std::uint32_t rgb = 0xffffff;
    double alpha = 1.0;
};

// Draws one line of text with its top-left corner at (x, y); returns its width in pixels.
// Chinese glyphs come from whichever CJK font fontconfig offers.
double DrawText(cairo_t* cr, const std::string& utf8, const TextStyle& style, double x, double y);

// The width DrawText would use, without drawing.
double MeasureText(cairo_t* cr, const std::string& utf8, const TextStyle& style);
