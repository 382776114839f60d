#pragma once
// Uncompressed 24-bit Windows bitmaps, the format the page's "JPG" pictures are stored in.

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

// The bitmap file bytes of an RGB24 or ARGB32 image surface: BITMAPFILEHEADER and
// BITMAPINFOHEADER (BI_RGB), rows bottom-up in blue-green-red order, each padded to 4 bytes.
// Alpha is dropped, so surfaces meant for bitmaps are drawn opaque.
std::vector<std::uint8_t> EncodeBmp24(cairo_surface_t* surface);

void WriteBmp24(cairo_surface_t* surface, const std::string& path);
