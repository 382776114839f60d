// The compiled-in bundle: every entry the page and the window ask for, and pictures that fit
// the places the style sheet puts them.

#include <gtest/gtest.h>

#include <cstdint>
#include <regex>
#include <string>

#include "tests/res/BundleReader.h"
#include "tools/art/ButtonSprites.h"

namespace {

constexpr std::uint32_t kOpaque = 0xff000000;
constexpr std::uint32_t kFace = kOpaque | 0xeeeeee;
constexpr std::uint32_t kBorder = kOpaque | 0xb3b3b3;

std::uint32_t Alpha(std::uint32_t pixel) {
    return pixel >> 24;
}

std::uint32_t LittleEndian(const std::string& bytes, std::size_t offset, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + i));
    return value;
}

// A 24-bit bitmap as the page's "JPG" entries hold it.
struct Bitmap {
    std::string bytes;
    int width = 0, height = 0;

    explicit Bitmap(const std::string& path) : bytes(BundleEntry(path)) {
        width = static_cast<int>(LittleEndian(bytes, 18, 4));
        height = static_cast<int>(LittleEndian(bytes, 22, 4));
    }
    std::uint32_t RowBytes() const { return (width * 3 + 3) & ~3u; }
    // Pixel (x, y) counted from the top, as 0xFFRRGGBB.
    std::uint32_t Pixel(int x, int y) const {
        const std::size_t at = LittleEndian(bytes, 10, 4) + (height - 1 - y) * RowBytes() + x * 3;
        return kOpaque | LittleEndian(bytes, at, 3);
    }
};

void ExpectBitmap(const std::string& path, int width, int height) {
    SCOPED_TRACE(path);
    const Bitmap bitmap(path);
    ASSERT_GE(bitmap.bytes.size(), 54u);
    EXPECT_EQ(bitmap.bytes.substr(0, 2), "BM");
    EXPECT_EQ(bitmap.width, width);
    EXPECT_EQ(bitmap.height, height);                   // positive: bottom-up rows
    EXPECT_EQ(LittleEndian(bitmap.bytes, 28, 2), 24u);  // bits per pixel
    EXPECT_EQ(LittleEndian(bitmap.bytes, 30, 4), 0u);   // BI_RGB, uncompressed
    EXPECT_EQ(LittleEndian(bitmap.bytes, 2, 4), bitmap.bytes.size());
    EXPECT_EQ(bitmap.bytes.size(), LittleEndian(bitmap.bytes, 10, 4) + bitmap.RowBytes() * height);
}

void ExpectPng(const std::string& path, int width, int height) {
    SCOPED_TRACE(path);
    SurfacePtr png = BundlePng(path);
    ASSERT_TRUE(png);
    EXPECT_EQ(cairo_image_surface_get_width(png.get()), width);
    EXPECT_EQ(cairo_image_surface_get_height(png.get()), height);
}

}  // namespace

TEST(ResourceBundle, HoldsEveryEntryThePageAndTheWindowAskFor) {
    for (const char* path :
         {"/res/HTML/106", "/res/CSS/129", "/res/JS/131", "/res/JS/132", "/res/JPG/141",
          "/res/JPG/146", "/res/JPG/147", "/res/PNG/139", "/res/PNG/142", "/res/PNG/144",
          "/res/PNG/145", "/res/ICON/16", "/res/ICON/32", "/res/ICON/48"})
        EXPECT_FALSE(BundleEntry(path).empty()) << path;
    EXPECT_TRUE(BundleEntry("/res/HTML/107").empty());
}

TEST(ResourceBundle, PicturesHaveTheirStatedSizesAndFormats) {
    ExpectBitmap("/res/JPG/141", 591, 296);
    ExpectBitmap("/res/JPG/146", 464, 13);
    ExpectBitmap("/res/JPG/147", 68, 70);
    ExpectPng("/res/PNG/139", 500, 300);
    ExpectPng("/res/PNG/142", 627, 7);
    ExpectPng("/res/PNG/144", 627, 9);
    ExpectPng("/res/PNG/145", 462, 11);
    for (int size : {16, 32, 48}) ExpectPng("/res/ICON/" + std::to_string(size), size, size);
}

// The page's centre has #B3B3B3 borders in columns 2 and 625 on an #eeeeee face; the edges
// must meet it there, leave the columns the window shape cuts (0-1) and the page's margin
// (626) to the page, and close the frame with a border row.
TEST(ResourceBundle, EdgesContinueTheFrameOfThePageCentre) {
    SurfacePtr top = BundlePng("/res/PNG/142");
    SurfacePtr bottom = BundlePng("/res/PNG/144");
    ASSERT_TRUE(top && bottom);
    struct Join {
        cairo_surface_t* edge;
        int row;
    };
    for (const Join& join : {Join{top.get(), 6}, Join{bottom.get(), 0}}) {
        SCOPED_TRACE(join.row);
        EXPECT_EQ(PixelAt(join.edge, 2, join.row), kBorder);
        EXPECT_EQ(PixelAt(join.edge, 625, join.row), kBorder);
        EXPECT_EQ(PixelAt(join.edge, 3, join.row), kFace);
        EXPECT_EQ(PixelAt(join.edge, 313, join.row), kFace);
        EXPECT_EQ(PixelAt(join.edge, 624, join.row), kFace);
        EXPECT_EQ(Alpha(PixelAt(join.edge, 1, join.row)), 0u);
        EXPECT_EQ(Alpha(PixelAt(join.edge, 626, join.row)), 0u);
    }
    EXPECT_EQ(PixelAt(top.get(), 313, 2), kBorder);
    EXPECT_EQ(Alpha(PixelAt(top.get(), 313, 1)), 0u);
    EXPECT_EQ(PixelAt(bottom.get(), 313, 8), kBorder);
}

TEST(ResourceBundle, OpaquePicturesBlendIntoThePageFaceAtTheirCorners) {
    const Bitmap icon("/res/JPG/147");
    const Bitmap track("/res/JPG/146");
    for (const Bitmap* bitmap : {&icon, &track}) {
        EXPECT_EQ(bitmap->Pixel(0, 0), kFace);
        EXPECT_EQ(bitmap->Pixel(bitmap->width - 1, bitmap->height - 1), kFace);
    }
    EXPECT_NE(track.Pixel(232, 6), kFace);  // the channel itself is drawn
}

namespace {

bool CellHasInk(cairo_surface_t* sheet, const SpriteCell& cell) {
    for (int y = cell.y; y < cell.y + cell.height; ++y)
        for (int x = cell.x; x < cell.x + cell.width; ++x)
            if (Alpha(PixelAt(sheet, x, y)) != 0) return true;
    return false;
}

constexpr SpriteCell kAllCells[] = {kCloseNormal,    kCloseHover,    kClosePressed,
                                    kMinimiseNormal, kMinimiseHover, kMinimisePressed,
                                    kButtonNormal,   kButtonHover};

bool IsCellOrigin(int x, int y) {
    for (const SpriteCell& cell : kAllCells)
        if (cell.x == x && cell.y == y) return true;
    return false;
}

bool InsideAnyCell(int x, int y) {
    for (const SpriteCell& cell : kAllCells)
        if (x >= cell.x && x < cell.x + cell.width && y >= cell.y && y < cell.y + cell.height)
            return true;
    return false;
}

}  // namespace

// The style sheet shows one cell through a window of the cell's size: every cell must be drawn
// where the sheet points, and nothing may lie around the cells to show up instead.
TEST(ResourceBundle, SpriteCellsSitWhereTheStyleSheetPoints) {
    SurfacePtr sheet = BundlePng("/res/PNG/139");
    ASSERT_TRUE(sheet);
    // Every position the style sheet shows is the origin of a drawn cell.
    const std::string css = BundleEntry("/res/CSS/129");
    const std::regex position(R"(background-position:\s*-(\d+)px\s+-(\d+)px)");
    int positions = 0;
    for (std::sregex_iterator match(css.begin(), css.end(), position), end; match != end;
         ++match, ++positions) {
        const int x = std::stoi((*match)[1]), y = std::stoi((*match)[2]);
        EXPECT_TRUE(IsCellOrigin(x, y)) << x << "," << y;
    }
    EXPECT_EQ(positions, 5);
    for (const SpriteCell& cell : {kCloseNormal, kCloseHover, kClosePressed, kMinimiseNormal,
                                   kMinimiseHover, kMinimisePressed})
        EXPECT_TRUE(CellHasInk(sheet.get(), cell)) << cell.x << "," << cell.y;
    for (const SpriteCell& face : {kButtonNormal, kButtonHover})
        for (int y = face.y + 1; y < face.y + face.height - 1; ++y)
            for (int x = face.x + 3; x < face.x + face.width - 3; ++x)
                ASSERT_EQ(Alpha(PixelAt(sheet.get(), x, y)), 255u) << x << "," << y;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 500; ++x)
            if (!InsideAnyCell(x, y)) {
                ASSERT_EQ(Alpha(PixelAt(sheet.get(), x, y)), 0u) << x << "," << y;
            }
}
