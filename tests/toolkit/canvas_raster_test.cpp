#include "toolkit/canvas_raster.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using PixelSet = std::set<std::pair<int, int>>;  // x, y
constexpr uint32_t kOpaque = 0xFF000000u, kWhite = 0xFFFFFFFFu;
constexpr uint32_t kAlphaBits = 0x80000000u;  // set in colours to be drawn: drawing must ignore them

// The pixel as R | G << 8 | B << 16 | A << 24.
uint32_t At(const CanvasBuffer& buffer, int x, int y) {
    const uint8_t* p = buffer.pixels.data() + (size_t(y) * buffer.width + x) * 4;
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// The pixels that differ from white; every pixel's alpha must still be 255.
PixelSet Painted(const CanvasBuffer& buffer) {
    PixelSet set;
    for (int y = 0; y < buffer.height; ++y) {
        for (int x = 0; x < buffer.width; ++x) {
            EXPECT_EQ(At(buffer, x, y) & kOpaque, kOpaque) << x << "," << y;
            if (At(buffer, x, y) != kWhite) set.insert({x, y});
        }
    }
    return set;
}

PixelSet Rect(int x0, int y0, int x1, int y1) {
    PixelSet set;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) set.insert({x, y});
    return set;
}

TEST(CanvasBox, CoversItsColumnsAndRowsClippedToTheBuffer) {
    const struct { const char* what; int x, y, w, h; PixelSet want; } cases[] = {
        {"negative height moves y up", 2, 5, 1, -2, Rect(2, 3, 2, 4)},
        {"clipped at the top-left", -2, -3, 4, 5, Rect(0, 0, 1, 1)},
        {"clipped at the bottom-right", 18, 8, 10, 10, Rect(18, 8, 19, 9)},
        {"huge sizes do not wrap", 2147483000, 0, 2147483000, 1, {}},
    };
    for (const auto& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(20, 10);
        RasterBox(buffer, c.x, c.y, c.w, c.h, kAlphaBits | RGB(1, 2, 3));
        EXPECT_EQ(Painted(buffer), c.want) << c.what;
        for (auto [x, y] : c.want) ASSERT_EQ(At(buffer, x, y), kOpaque | RGB(1, 2, 3));
    }
}

// Lines are judged by what any one-pixel line must do, not by a list of its pixels: both ends, one
// pixel a step of the longer axis, each within half a pixel of the true line; a line cut by the
// canvas's edges keeps the pixels it has inside them, and coordinates beyond +-65000 are clamped.
TEST(CanvasLine, OnePixelAStepNearTheTrueLineAndTheSamePixelsWhenClipped) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> xs(0, 299), ys(0, 199);
    std::vector<std::array<int, 4>> lines = {{4, 1, 2, 1}, {7, 7, 7, 7}};
    for (int i = 0; i < 300; ++i) lines.push_back({xs(random), ys(random), xs(random), ys(random)});
    for (const auto& [x1, y1, x2, y2] : lines) {
        SCOPED_TRACE(testing::Message() << x1 << "," << y1 << " to " << x2 << "," << y2);
        CanvasBuffer whole = MakeCanvasBuffer(300, 200), window = MakeCanvasBuffer(37, 23);
        RasterLine(whole, x1, y1, x2, y2, 0);
        RasterLine(window, x1 - 120, y1 - 80, x2 - 120, y2 - 80, 0);
        const PixelSet drawn = Painted(whole);
        ASSERT_TRUE(drawn.count({x1, y1}) && drawn.count({x2, y2}));
        const int dx = x2 - x1, dy = y2 - y1;
        ASSERT_EQ(drawn.size(), size_t(std::max(std::abs(dx), std::abs(dy)) + 1));
        for (auto [x, y] : drawn) {
            const double off = std::abs(dx) >= std::abs(dy) ? y - (y1 + double(x - x1) * dy / (dx ? dx : 1))
                                                            : x - (x1 + double(y - y1) * dx / dy);
            ASSERT_LE(std::abs(off), 0.5) << x << "," << y;
        }
        PixelSet inside;
        for (auto [x, y] : drawn)
            if (x >= 120 && x < 157 && y >= 80 && y < 103) inside.insert({x - 120, y - 80});
        ASSERT_EQ(Painted(window), inside);
    }
    CanvasBuffer given = MakeCanvasBuffer(560, 140), clamped = MakeCanvasBuffer(560, 140);
    RasterLine(given, 12, -2000000000, 31, 2000000000, 0);
    RasterLine(clamped, 12, -65000, 31, 65000, 0);
    EXPECT_FALSE(Painted(given).empty());
    EXPECT_EQ(Painted(given), Painted(clamped));
}

}  // namespace
