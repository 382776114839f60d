#pragma once
// The 500 x 300 sprite sheet behind every ".pop_bg" element. The style sheet shows one cell at
// a time through background-position, so each cell sits exactly where the page points:
// close 24 x 16 at (36, 8) normal, (36, 27) hover, (36, 46) pressed; button face 64 x 26 at
// (64, 8) normal and (64, 36) hover. The minimise button, which the page does not use today,
// has the close button's cells one column to the left, at (8, 8), (8, 27) and (8, 46).

#include "tools/art/CairoHandles.h"

inline constexpr int kSheetWidth = 500;
inline constexpr int kSheetHeight = 300;

struct SpriteCell {
    int x, y, width, height;
};

inline constexpr SpriteCell kCloseNormal{36, 8, 24, 16};
inline constexpr SpriteCell kCloseHover{36, 27, 24, 16};
inline constexpr SpriteCell kClosePressed{36, 46, 24, 16};
inline constexpr SpriteCell kMinimiseNormal{8, 8, 24, 16};
inline constexpr SpriteCell kMinimiseHover{8, 27, 24, 16};
inline constexpr SpriteCell kMinimisePressed{8, 46, 24, 16};
inline constexpr SpriteCell kButtonNormal{64, 8, 64, 26};
inline constexpr SpriteCell kButtonHover{64, 36, 64, 26};

SurfacePtr DrawButtonSprites();
