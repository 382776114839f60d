#pragma once
// The progress bar: its track (464 x 13, stored as a bitmap, so opaque on the page's face) and
// its fill (462 x 11, with alpha). The page lays the fill one row below the track's top, from
// the track's left edge, and widens it by the percentage; its right end is simply cut.

#include "tools/art/CairoHandles.h"

inline constexpr int kTrackWidth = 464;
inline constexpr int kTrackHeight = 13;
inline constexpr int kFillWidth = 462;
inline constexpr int kFillHeight = 11;

SurfacePtr DrawProgressTrack();
SurfacePtr DrawProgressFill();
