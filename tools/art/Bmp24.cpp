#include "tools/art/Bmp24.h"

#include <fstream>
#include <stdexcept>

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dpi

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp24(cairo_surface_t* surface) {
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32)
        throw std::invalid_argument("a bitmap needs an RGB24 or ARGB32 surface");
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(surface);
    if (width <= 0 || height <= 0 || pixels == nullptr)
        throw std::invalid_argument("a bitmap needs a non-empty image surface");

    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    const std::uint32_t dataOffset = kFileHeaderSize + kInfoHeaderSize;

    std::vector<std::uint8_t> out;
    out.reserve(dataOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, dataOffset + imageBytes);
    PutU32(out, 0);  // reserved
    PutU32(out, dataOffset);

    PutU32(out, kInfoHeaderSize);
    PutU32(out, static_cast<std::uint32_t>(width));
    PutU32(out, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
    PutU16(out, 1);                                   // planes
    PutU16(out, 24);                                  // bits per pixel
    PutU32(out, 0);                                   // BI_RGB
    PutU32(out, imageBytes);
    PutU32(out, kPixelsPerMetre);
    PutU32(out, kPixelsPerMetre);
    PutU32(out, 0);  // colours used
    PutU32(out, 0);  // important colours

    for (int y = height - 1; y >= 0; --y) {
        // Cairo keeps each pixel as a native-endian 32-bit 0xAARRGGBB word.
        const auto* row = reinterpret_cast<const std::uint32_t*>(pixels + y * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = row[x];
            out.push_back(static_cast<std::uint8_t>(pixel));
            out.push_back(static_cast<std::uint8_t>(pixel >> 8));
            out.push_back(static_cast<std::uint8_t>(pixel >> 16));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    return out;
}

void WriteBmp24(cairo_surface_t* surface, const std::string& path) {
    const std::vector<std::uint8_t> bytes = EncodeBmp24(surface);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}
