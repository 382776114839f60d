#pragma once
// The default advertisement, 591 x 296, shown until (or unless) the web server sends one: the
// product's slogan beside a phone and a computer joined by a stream of files. Stored as a
// bitmap, so it is opaque.

#include "tools/art/CairoHandles.h"

inline constexpr int kAdvertWidth = 591;
inline constexpr int kAdvertHeight = 296;

SurfacePtr DrawAdvertPicture();
