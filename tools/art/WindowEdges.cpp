#include "tools/art/WindowEdges.h"

#include "tools/art/Paint.h"
#include "tools/art/Palette.h"

namespace {

// The window shape rounds its corners with a 6 x 6 ellipse.
constexpr double kCornerRadius = 3;
constexpr double kFrameLeft = kFrameLeftColumn;
constexpr double kFrameRight = kFrameRightColumn + 1;
constexpr double kFrameWidth = kFrameRight - kFrameLeft;

// The frame's outline and face between rows top and bottom; the rounded ends that fall outside
// the picture are cut off, so only the corners at the visible end stay round.
void DrawFrame(cairo_t* cr, double top, double bottom, cairo_pattern_t* face) {
    RoundedRectPath(cr, kFrameLeft, top, kFrameWidth, bottom - top, kCornerRadius);
    SetSourceRgb(cr, palette::kFrameBorder);
    cairo_fill(cr);
    RoundedRectPath(cr, kFrameLeft + 1, top + 1, kFrameWidth - 2, bottom - top - 2,
                    kCornerRadius - 1);
    cairo_set_source(cr, face);
    cairo_fill(cr);
}

}  // namespace

SurfacePtr DrawTopEdge() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_ARGB32, kEdgeWidth, kTopEdgeHeight);
    ContextPtr cr = MakeContext(surface.get());
    // A light sheen under the top border that settles into the face colour by the last row.
    PatternPtr face =
        LinearGradient(0, kFrameTopRow + 1, 0, kTopEdgeHeight - 1,
                       {{0, 0xffffff}, {0.35, palette::kFaceHighlight}, {1, palette::kFace}});
    DrawFrame(cr.get(), kFrameTopRow, kTopEdgeHeight + 8, face.get());
    return surface;
}

SurfacePtr DrawBottomEdge() {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_ARGB32, kEdgeWidth, kBottomEdgeHeight);
    ContextPtr cr = MakeContext(surface.get());
    // Face colour where the centre ends, a faint shade towards the bottom border.
    PatternPtr face = LinearGradient(0, 0, 0, kBottomEdgeHeight - 1,
                                     {{0, palette::kFace}, {0.5, palette::kFace}, {1, 0xe4e4e4}});
    DrawFrame(cr.get(), -8, kBottomEdgeHeight, face.get());
    return surface;
}
