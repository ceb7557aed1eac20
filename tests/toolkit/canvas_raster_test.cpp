#include "toolkit/canvas_raster.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>

#include <cmath>
#include <random>
#include <set>

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

TEST(CanvasBuffer, SizeBelowTwoBecomesOneAndEveryPixelStartsOpaqueWhite) {
    for (auto [width, height] : {std::pair{560, 140}, {0, 5}, {-3, -3}}) {
        const CanvasBuffer buffer = MakeCanvasBuffer(width, height);
        EXPECT_EQ(QSize(buffer.width, buffer.height), QSize(std::max(width, 1), std::max(height, 1)));
        ASSERT_EQ(buffer.pixels.size(), size_t(buffer.width) * buffer.height * 4);
        EXPECT_TRUE(Painted(buffer).empty());
    }
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u) << "red low, blue high, no alpha";
}

TEST(CanvasBox, CoversItsColumnsAndRowsClippedToTheBuffer) {
    const struct { const char* what; int x, y, w, h; PixelSet want; } cases[] = {
        {"negative width moves x left", 10, 0, -4, 1, Rect(6, 0, 9, 0)},
        {"negative height moves y up", 2, 5, 1, -2, Rect(2, 3, 2, 4)},
        {"clipped at the top-left", -2, -3, 4, 5, Rect(0, 0, 1, 1)},
        {"clipped at the bottom-right", 18, 8, 10, 10, Rect(18, 8, 19, 9)},
        {"entirely left", -10, 0, 5, 5, {}}, {"entirely below", 0, 10, 5, 5, {}}, {"zero width", 3, 3, 0, 4, {}},
        {"huge sizes do not wrap", 2147483000, 0, 2147483000, 1, {}},
    };
    for (const auto& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(20, 10);
        RasterBox(buffer, c.x, c.y, c.w, c.h, kAlphaBits | RGB(1, 2, 3));
        EXPECT_EQ(Painted(buffer), c.want) << c.what;
        for (auto [x, y] : c.want) ASSERT_EQ(At(buffer, x, y), kOpaque | RGB(1, 2, 3));
    }
}

TEST(CanvasLine, ChoosesTheBresenhamPixelsWithBothEnds) {
    // The named ends and the horizontal span; the random lines below check every other choice.
    const struct { const char* what; int x1, y1, x2, y2; PixelSet want; } cases[] = {
        {"shallow", 0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}}, {"a point", 2, 2, 2, 2, {{2, 2}}},
        // A half-way minor step is taken late, seen from the start point.
        {"tie drawn backwards", 2, 1, 0, 0, {{2, 1}, {1, 1}, {0, 0}}},
        {"horizontal, both ends", 4, 1, 2, 1, {{2, 1}, {3, 1}, {4, 1}}},
        {"horizontal, clipped both sides", -5, 2, 100, 2, Rect(0, 2, 9, 2)},
    };
    for (const auto& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(10, 6);
        RasterLine(buffer, c.x1, c.y1, c.x2, c.y2, kAlphaBits | RGB(9, 8, 7));
        EXPECT_EQ(Painted(buffer), c.want) << c.what;
    }
}

// Every step of the whole integer Bresenham walk that falls in the width x height window at
// (left, top): what a clipped line must choose.
PixelSet WalkedLine(int64_t x, int64_t y, int64_t x2, int64_t y2, int left, int top, int width, int height) {
    PixelSet set;
    const int64_t dx = std::abs(x2 - x), dy = std::abs(y2 - y), sx = x2 < x ? -1 : 1, sy = y2 < y ? -1 : 1;
    const bool xMajor = dx >= dy;
    const int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    for (int64_t k = 0, d = 2 * minor - major; k <= major; ++k, d += 2 * minor) {
        if (x >= left && x < left + width && y >= top && y < top + height) set.insert({x - left, y - top});
        if (d > 0) {
            (xMajor ? y : x) += xMajor ? sy : sx;
            d -= 2 * major;
        }
        (xMajor ? x : y) += xMajor ? sx : sy;
    }
    return set;
}

TEST(CanvasLine, ClippedAndClampedLinesChooseThePixelsOfTheWholeLine) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> xs(0, 299), ys(0, 199);
    for (int i = 0; i < 400; ++i) {
        const int x1 = xs(random), y1 = ys(random), x2 = xs(random), y2 = ys(random);
        CanvasBuffer whole = MakeCanvasBuffer(300, 200), window = MakeCanvasBuffer(37, 23);
        RasterLine(whole, x1, y1, x2, y2, 0);
        RasterLine(window, x1 - 120, y1 - 80, x2 - 120, y2 - 80, 0);
        ASSERT_EQ(Painted(whole), WalkedLine(x1, y1, x2, y2, 0, 0, 300, 200)) << x1 << "," << y1;
        ASSERT_EQ(Painted(window), WalkedLine(x1, y1, x2, y2, 120, 80, 37, 23)) << x1 << "," << y1;
    }
    // Coordinates beyond +-65000 are clamped first; the walk follows the clamped line.
    const struct { int x1, y1, x2, y2, rx1, ry1, rx2, ry2; } longLines[] = {
        {-65000, -300, 65000, 500, -65000, -300, 65000, 500}, {-40000, 65000, 300, -64000, -40000, 65000, 300, -64000},
        {-100000, 5, 100000, 7, -65000, 5, 65000, 7}, {12, -2000000000, 31, 2000000000, 12, -65000, 31, 65000}};
    for (const auto& c : longLines) {
        CanvasBuffer buffer = MakeCanvasBuffer(560, 140);
        RasterLine(buffer, c.x1, c.y1, c.x2, c.y2, 0);
        EXPECT_EQ(Painted(buffer), WalkedLine(c.rx1, c.ry1, c.rx2, c.ry2, 0, 0, 560, 140)) << c.x1 << "," << c.y1;
    }
}

TEST(CanvasText, OpaqueModeFillsTheTextBoxFirstTransparentModeLeavesTheGapsAlone) {
    // "I    I" at (20, 10) on green: the box and the gap between the letters are known.
    const QFontMetricsF metrics(QGuiApplication::font());
    const int right = 20 + int(std::ceil(metrics.horizontalAdvance("I    I"))) - 1;
    const int bottom = 10 + int(std::ceil(metrics.height())) - 1;
    const int gapLeft = 20 + int(std::ceil(metrics.horizontalAdvance("I"))) + 1;
    const int gapRight = 20 + int(std::floor(metrics.horizontalAdvance("I    "))) - 2;
    ASSERT_LT(gapLeft, gapRight);
    const uint32_t fill = kOpaque | RGB(10, 200, 30), back = RGB(0, 0, 90);
    for (bool transparent : {false, true}) {
        SCOPED_TRACE(transparent);
        CanvasBuffer buffer = MakeCanvasBuffer(200, 60);
        RasterBox(buffer, 0, 0, 200, 60, fill);
        EXPECT_DOUBLE_EQ(RasterText(buffer, 20, 10, u"I    I", kAlphaBits | RGB(250, 0, 120), kOpaque | back,
                                    transparent, QGuiApplication::font()),
                         20 + metrics.horizontalAdvance("I    I"));
        uint32_t strongest = 0;
        for (int y = 0; y < buffer.height; ++y) {
            for (int x = 0; x < buffer.width; ++x) {
                const uint32_t p = At(buffer, x, y);
                const bool inBox = x >= 20 && x <= right && y >= 10 && y <= bottom;
                if (!inBox || (x >= gapLeft && x <= gapRight)) {
                    ASSERT_EQ(p, inBox && !transparent ? kOpaque | back : fill) << x << "," << y;
                }
                if (p != fill && p != (kOpaque | back)) strongest = std::max(strongest, p & 0xFF);
            }
        }
        EXPECT_GT(strongest, 200u) << "the stems are mostly covered in the text colour";
    }
}

TEST(CanvasText, TextPartlyOutsideTheCanvasIsClippedAndFarAwayTextDrawsNothing) {
    CanvasBuffer buffer = MakeCanvasBuffer(30, 8);
    EXPECT_EQ(RasterText(buffer, -30.5, 3, u"", 0, 0, false, QGuiApplication::font()), -30.5);
    RasterText(buffer, -10, -5, u"Virtual RAM", 0, 0, false, QGuiApplication::font());
    EXPECT_FALSE(Painted(buffer).empty());
    const CanvasBuffer before = buffer;
    for (double far : {500.0, -1e12, 1e15, std::nan("")}) {
        RasterText(buffer, far, far, u"far away", 0, 0, false, QGuiApplication::font());
        RasterText(buffer, 3, far, u"far away", 0, 0, false, QGuiApplication::font());
    }
    EXPECT_EQ(buffer.pixels, before.pixels);
}

}  // namespace
