// The 24-bit bitmap writer behind the page's "JPG" pictures.

#include "tools/art/Bmp24.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "tools/art/CairoHandles.h"

namespace {

std::uint32_t Field(const std::vector<std::uint8_t>& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes.at(offset + i);
    return value;
}

void Paint(cairo_t* cr, int x, int y, double r, double g, double b) {
    cairo_set_source_rgb(cr, r, g, b);
    cairo_rectangle(cr, x, y, 1, 1);
    cairo_fill(cr);
}

}  // namespace

// 3 x 2 pixels: 9 bytes of pixels per row need 3 bytes of padding.
TEST(Bmp24, WritesHeaderAndPaddedBottomUpRowsInBlueGreenRedOrder) {
    SurfacePtr surface = MakeSurface(CAIRO_FORMAT_RGB24, 3, 2);
    ContextPtr cr = MakeContext(surface.get());
    Paint(cr.get(), 0, 0, 1, 0, 0);  // top row: red, green, blue
    Paint(cr.get(), 1, 0, 0, 1, 0);
    Paint(cr.get(), 2, 0, 0, 0, 1);
    Paint(cr.get(), 0, 1, 1, 1, 1);  // bottom row: white, black, grey
    Paint(cr.get(), 1, 1, 0, 0, 0);
    Paint(cr.get(), 2, 1, 0x80 / 255.0, 0x80 / 255.0, 0x80 / 255.0);

    const std::vector<std::uint8_t> bmp = EncodeBmp24(surface.get());
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Field(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Field(bmp, 10, 4), 54u);  // pixels follow the two headers
    EXPECT_EQ(Field(bmp, 14, 4), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(Field(bmp, 18, 4), 3u);
    EXPECT_EQ(Field(bmp, 22, 4), 2u);
    EXPECT_EQ(Field(bmp, 26, 2), 1u);
    EXPECT_EQ(Field(bmp, 28, 2), 24u);
    EXPECT_EQ(Field(bmp, 30, 4), 0u);
    EXPECT_EQ(Field(bmp, 34, 4), 24u);

    const std::vector<std::uint8_t> pixels(bmp.begin() + 54, bmp.end());
    const std::vector<std::uint8_t> expected = {
        0xff, 0xff, 0xff, 0, 0,    0, 0x80, 0x80, 0x80, 0, 0, 0,  // bottom row first
        0,    0,    0xff, 0, 0xff, 0, 0xff, 0,    0,    0, 0, 0,  // then the top row
    };
    EXPECT_EQ(pixels, expected);
}

TEST(Bmp24, NeedsNoPaddingForRowsOfWholeWordsAndRefusesOtherFormats) {
    SurfacePtr fourWide = MakeSurface(CAIRO_FORMAT_ARGB32, 4, 1);
    EXPECT_EQ(EncodeBmp24(fourWide.get()).size(), 54u + 12);

    SurfacePtr mask = MakeSurface(CAIRO_FORMAT_A8, 4, 4);
    EXPECT_THROW(EncodeBmp24(mask.get()), std::invalid_argument);
}
