#pragma once
// The window's top (627 x 7) and bottom (627 x 9) edges. They close the frame that the page's
// centre draws with its #B3B3B3 side borders: those sit in columns 2 and 625 (the window shape
// cuts columns 0-1 and rows 0-1, and column 626 is the page's own margin), so the edges draw
// the same border in the same columns and round the corners as the window shape does.

#include "tools/art/CairoHandles.h"

inline constexpr int kEdgeWidth = 627;
inline constexpr int kTopEdgeHeight = 7;
inline constexpr int kBottomEdgeHeight = 9;
inline constexpr int kFrameLeftColumn = 2;
inline constexpr int kFrameRightColumn = 625;
inline constexpr int kFrameTopRow = 2;

SurfacePtr DrawTopEdge();
SurfacePtr DrawBottomEdge();
