#pragma once
// Reads entries of the compiled-in page bundle for the tests.

#include <cstdint>
#include <string>

#include "tools/art/CairoHandles.h"

// The entry's bytes; empty when the bundle has no such entry.
std::string BundleEntry(const std::string& path);

// A PNG entry decoded into an image surface; null when it is missing or not a PNG.
SurfacePtr BundlePng(const std::string& path);

// The 0xAARRGGBB word of pixel (x, y) of an image surface (premultiplied, as cairo keeps it).
std::uint32_t PixelAt(cairo_surface_t* surface, int x, int y);
