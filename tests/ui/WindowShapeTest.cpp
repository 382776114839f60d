#include "ui/WindowShape.h"

#include <gtest/gtest.h>

#include <utility>

TEST(WindowShape, CutsTwoRowsAndRoundsTheCorners) {
    CairoRegionPtr region = CreateRoundRectRegion(2, 2, 627, 467, 6, 6);
    auto in = [&](int x, int y) { return cairo_region_contains_point(region.get(), x, y) != 0; };
    cairo_rectangle_int_t extents;
    cairo_region_get_extents(region.get(), &extents);
    EXPECT_EQ(extents.x, 2);
    EXPECT_EQ(extents.y, 2);
    EXPECT_EQ(extents.x + extents.width, 627);
    EXPECT_EQ(extents.y + extents.height, 467);
    EXPECT_FALSE(in(1, 200));
    EXPECT_FALSE(in(300, 1));
    EXPECT_TRUE(in(2, 200));
    EXPECT_TRUE(in(300, 2));
    EXPECT_TRUE(in(626, 466 - 10));
    EXPECT_TRUE(in(300, 466));
    // The corners follow the ellipse: the very corner pixels are outside, a few in are inside.
    for (auto [x, y] : {std::pair{2, 2}, {626, 2}, {2, 466}, {626, 466}}) EXPECT_FALSE(in(x, y));
    for (auto [x, y] : {std::pair{5, 5}, {623, 5}, {5, 463}, {623, 463}}) EXPECT_TRUE(in(x, y));
}
