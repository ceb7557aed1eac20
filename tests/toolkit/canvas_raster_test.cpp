#include "toolkit/canvas_raster.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using Pixel = std::pair<int, int>;  // x, y
using PixelSet = std::set<Pixel>;

struct Rgb {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgb&) const = default;
};

Rgb At(const CanvasBuffer& buffer, int x, int y) {
    const uint8_t* p = buffer.pixels.data() + (size_t(y) * buffer.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

const Rgb kWhite{255, 255, 255, 255};

// The pixels that differ from white.
PixelSet Painted(const CanvasBuffer& buffer) {
    PixelSet set;
    for (int y = 0; y < buffer.height; ++y) {
        for (int x = 0; x < buffer.width; ++x) {
            if (!(At(buffer, x, y) == kWhite)) set.insert({x, y});
        }
    }
    return set;
}

PixelSet RectPixels(int x0, int y0, int x1, int y1) {
    PixelSet set;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) set.insert({x, y});
    }
    return set;
}

TEST(CanvasBuffer, SizeBelowTwoBecomesOneAndEveryPixelStartsOpaqueWhite) {
    struct Case {
        int width, height, wantWidth, wantHeight;
    } cases[] = {{560, 140, 560, 140}, {1, 1, 1, 1}, {0, 5, 1, 5}, {-3, -3, 1, 1}, {2, 1, 2, 1}};
    for (const Case& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(c.width, c.height);
        EXPECT_EQ(buffer.width, c.wantWidth) << c.width;
        EXPECT_EQ(buffer.height, c.wantHeight) << c.height;
        ASSERT_EQ(buffer.pixels.size(), size_t(c.wantWidth) * c.wantHeight * 4);
        EXPECT_TRUE(Painted(buffer).empty());
        for (size_t i = 3; i < buffer.pixels.size(); i += 4) ASSERT_EQ(buffer.pixels[i], 255);
    }
}

TEST(CanvasColour, RgbPacksRedLowGreenMiddleBlueHighWithoutAlpha) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(RGB(255, 255, 255), 0xFFFFFFu);
    EXPECT_EQ(RGB(0, 0, 0), 0u);
}

TEST(CanvasBox, CoversItsColumnsAndRowsClippedToTheBuffer) {
    struct Case {
        const char* what;
        int x, y, w, h;
        PixelSet want;
    } cases[] = {
        {"negative width moves x left", 10, 0, -4, 1, RectPixels(6, 0, 9, 0)},
        {"negative height moves y up", 2, 5, 1, -2, RectPixels(2, 3, 2, 4)},
        {"plain", 1, 1, 3, 2, RectPixels(1, 1, 3, 2)},
        {"clipped at the top-left", -2, -3, 4, 5, RectPixels(0, 0, 1, 1)},
        {"clipped at the bottom-right", 18, 8, 10, 10, RectPixels(18, 8, 19, 9)},
        {"larger than the buffer", -100, -100, 1000, 1000, RectPixels(0, 0, 19, 9)},
        {"entirely left", -10, 0, 5, 5, {}},
        {"entirely right", 20, 0, 5, 5, {}},
        {"entirely below", 0, 10, 5, 5, {}},
        {"zero width", 3, 3, 0, 4, {}},
        {"huge sizes do not wrap", 2147483000, 0, 2147483000, 1, {}},
    };
    for (const Case& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(20, 10);
        RasterBox(buffer, c.x, c.y, c.w, c.h, RGB(1, 2, 3));
        EXPECT_EQ(Painted(buffer), c.want) << c.what;
        for (const Pixel& p : c.want) ASSERT_EQ(At(buffer, p.first, p.second), (Rgb{1, 2, 3, 255}));
    }
}

TEST(CanvasLine, ChoosesTheBresenhamPixelsWithBothEnds) {
    struct Case {
        const char* what;
        int x1, y1, x2, y2;
        PixelSet want;
    } cases[] = {
        {"shallow", 0, 0, 3, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {"shallow drawn backwards", 3, 1, 0, 0, {{3, 1}, {2, 1}, {1, 0}, {0, 0}}},
        {"a point", 2, 2, 2, 2, {{2, 2}}},
        {"steep", 0, 0, 1, 3, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {"vertical", 4, 1, 4, 3, {{4, 1}, {4, 2}, {4, 3}}},
        {"diagonal up", 0, 3, 3, 0, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}},
        // A half-way minor step is taken late, seen from the start point.
        {"tie", 0, 0, 2, 1, {{0, 0}, {1, 0}, {2, 1}}},
        {"tie drawn backwards", 2, 1, 0, 0, {{2, 1}, {1, 1}, {0, 0}}},
        {"horizontal, both ends", 4, 1, 2, 1, {{2, 1}, {3, 1}, {4, 1}}},
        {"horizontal, clipped", -5, 2, 100, 2, RectPixels(0, 2, 9, 2)},
        {"horizontal, clipped left", 5, 2, -3, 2, RectPixels(0, 2, 5, 2)},
        {"horizontal, above", -5, -1, 5, -1, {}},
        {"horizontal, beyond the right edge", 10, 2, 30, 2, {}},
        {"steep, starting outside", 1, -2, 2, 5, {{1, 0}, {1, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}}},
    };
    for (const Case& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(10, 6);
        RasterLine(buffer, c.x1, c.y1, c.x2, c.y2, RGB(9, 8, 7));
        EXPECT_EQ(Painted(buffer), c.want) << c.what;
    }
}

// The stepping of an unclipped line, one pixel per step, every step visited: the yardstick for
// the clipped drawing, which starts at its first visible step.
PixelSet ReferenceLine(int x1, int y1, int x2, int y2, int left, int top, int width, int height) {
    PixelSet set;
    int64_t dx = std::llabs(int64_t(x2) - x1), dy = std::llabs(int64_t(y2) - y1);
    int sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    bool xMajor = dx >= dy;
    int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
    int64_t d = 2 * minor - major;
    int64_t x = x1, y = y1;
    for (int64_t k = 0; k <= major; ++k) {
        if (x >= left && x < left + width && y >= top && y < top + height) {
            set.insert({int(x - left), int(y - top)});
        }
        if (d > 0) {
            (xMajor ? y : x) += xMajor ? sy : sx;
            d -= 2 * major;
        }
        d += 2 * minor;
        (xMajor ? x : y) += xMajor ? sx : sy;
    }
    return set;
}

TEST(CanvasLine, ClippedLinesChooseTheSamePixelsAsTheWholeLine) {
    // A window of a large buffer: every line drawn into the small one must match the window.
    constexpr int kBigW = 300, kBigH = 200, kLeft = 120, kTop = 80, kW = 37, kH = 23;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> xs(0, kBigW - 1), ys(0, kBigH - 1);
    for (int i = 0; i < 400; ++i) {
        int x1 = xs(random), y1 = ys(random), x2 = xs(random), y2 = ys(random);
        CanvasBuffer big = MakeCanvasBuffer(kBigW, kBigH);
        CanvasBuffer small = MakeCanvasBuffer(kW, kH);
        RasterLine(big, x1, y1, x2, y2, 0);
        RasterLine(small, x1 - kLeft, y1 - kTop, x2 - kLeft, y2 - kTop, 0);
        PixelSet window;
        for (const Pixel& p : Painted(big)) {
            int x = p.first - kLeft, y = p.second - kTop;
            if (x >= 0 && x < kW && y >= 0 && y < kH) window.insert({x, y});
        }
        ASSERT_EQ(Painted(small), window) << x1 << "," << y1 << " - " << x2 << "," << y2;
    }
}

TEST(CanvasLine, LongLinesAreClampedAndMatchTheFullWalk) {
    struct Case {
        int x1, y1, x2, y2;      // as drawn
        int rx1, ry1, rx2, ry2;  // the clamped line the reference walks
    } cases[] = {
        {-65000, -300, 65000, 500, -65000, -300, 65000, 500},
        {65000, 77, -65000, 3, 65000, 77, -65000, 3},
        {-40000, 65000, 300, -64000, -40000, 65000, 300, -64000},
        {-100000, 5, 100000, 7, -65000, 5, 65000, 7},
        {12, -2000000000, 31, 2000000000, 12, -65000, 31, 65000},
        {-65000, -65000, 65000, 65000, -65000, -65000, 65000, 65000},
    };
    for (const Case& c : cases) {
        CanvasBuffer buffer = MakeCanvasBuffer(560, 140);
        RasterLine(buffer, c.x1, c.y1, c.x2, c.y2, 0);
        EXPECT_EQ(Painted(buffer), ReferenceLine(c.rx1, c.ry1, c.rx2, c.ry2, 0, 0, 560, 140))
            << c.x1 << "," << c.y1 << " - " << c.x2 << "," << c.y2;
    }
}

TEST(CanvasPixels, DrawingWritesColourChannelsAndNeverAlpha) {
    CanvasBuffer buffer = MakeCanvasBuffer(40, 30);
    const uint32_t withAlpha = 0x80000000u | RGB(200, 100, 50);
    RasterBox(buffer, 0, 0, 10, 10, RGB(1, 2, 3));
    RasterBox(buffer, 5, 5, 10, 10, withAlpha);
    RasterLine(buffer, 0, 29, 39, 0, RGB(4, 5, 6));
    RasterLine(buffer, 0, 20, 39, 20, withAlpha);
    RasterText(buffer, 2, 2, u"Alpha", withAlpha, 0xFF000000u, false, QGuiApplication::font());
    RasterText(buffer, 2, 15, u"Beta", RGB(7, 8, 9), 0, true, QGuiApplication::font());
    for (size_t i = 3; i < buffer.pixels.size(); i += 4) ASSERT_EQ(buffer.pixels[i], 255) << i;
    EXPECT_EQ(At(buffer, 39, 20), (Rgb{200, 100, 50, 255}));
    EXPECT_EQ(At(buffer, 39, 0), (Rgb{4, 5, 6, 255}));
}

// --- Text ------------------------------------------------------------------------------------

struct TextBox {
    int left = 0, top = 0, right = 0, bottom = 0;  // inclusive
};

TextBox BoxOf(double x, double y, TextView text) {
    QFontMetricsF metrics(QGuiApplication::font());
    double w = metrics.horizontalAdvance(QString::fromStdU16String(Text(text)));
    return {int(std::floor(x)), int(std::floor(y)), int(std::ceil(x + w)) - 1,
            int(std::ceil(y + metrics.height())) - 1};
}

bool Inside(const TextBox& box, int x, int y) {
    return x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
}

CanvasBuffer FilledCanvas(Rgb fill) {
    CanvasBuffer buffer = MakeCanvasBuffer(200, 60);
    RasterBox(buffer, 0, 0, 200, 60, RGB(fill.r, fill.g, fill.b));
    return buffer;
}

TEST(CanvasText, ReturnsXPlusTheMeasuredWidth) {
    QFontMetricsF metrics(QGuiApplication::font());
    for (double x : {0.0, 5.0, 12.25, -30.0}) {
        for (TextView text : {TextView(u"125 MB"), TextView(u"Footprint RAM"), TextView(u"")}) {
            CanvasBuffer buffer = MakeCanvasBuffer(100, 40);
            double width = metrics.horizontalAdvance(QString::fromStdU16String(Text(text)));
            EXPECT_DOUBLE_EQ(RasterText(buffer, x, 3, text, 0, 0, false, QGuiApplication::font()),
                             x + width);
        }
    }
}

TEST(CanvasText, OpaqueModePaintsTheTextBoxWithTheBackColourFirst) {
    const Rgb fill{10, 200, 30, 255};
    const TextView text = u"I    I";
    CanvasBuffer buffer = FilledCanvas(fill);
    RasterText(buffer, 20, 10, text, RGB(255, 255, 255), 0, false, QGuiApplication::font());
    TextBox box = BoxOf(20, 10, text);
    int blackInside = 0;
    for (int y = 0; y < buffer.height; ++y) {
        for (int x = 0; x < buffer.width; ++x) {
            Rgb p = At(buffer, x, y);
            if (!Inside(box, x, y)) {
                ASSERT_EQ(p, fill) << x << "," << y;
                continue;
            }
            // White text on black: every pixel of the box is a grey between the two.
            ASSERT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y;
            blackInside += p.r == 0;
        }
    }
    // The gap between the two letters is pure back colour.
    QFontMetricsF metrics(QGuiApplication::font());
    int gapLeft = 20 + int(std::ceil(metrics.horizontalAdvance(QString("I")))) + 1;
    int gapRight = 20 + int(std::floor(metrics.horizontalAdvance(QString("I    ")))) - 2;
    ASSERT_LT(gapLeft, gapRight);
    for (int y = box.top; y <= box.bottom; ++y) {
        for (int x = gapLeft; x <= gapRight; ++x) ASSERT_EQ(At(buffer, x, y), (Rgb{0, 0, 0, 255}));
    }
    EXPECT_GT(blackInside, 0);
}

TEST(CanvasText, TransparentModeOnlyBlendsTheGlyphsInTheirColour) {
    const Rgb fill{10, 200, 30, 255};
    const TextView text = u"I    I";
    CanvasBuffer buffer = FilledCanvas(fill);
    RasterText(buffer, 20, 10, text, RGB(250, 0, 120), 0, true, QGuiApplication::font());
    TextBox box = BoxOf(20, 10, text);
    QFontMetricsF metrics(QGuiApplication::font());
    int gapLeft = 20 + int(std::ceil(metrics.horizontalAdvance(QString("I")))) + 1;
    int gapRight = 20 + int(std::floor(metrics.horizontalAdvance(QString("I    ")))) - 2;
    int changed = 0, strongest = 0;
    for (int y = 0; y < buffer.height; ++y) {
        for (int x = 0; x < buffer.width; ++x) {
            Rgb p = At(buffer, x, y);
            if (p == fill) continue;
            ++changed;
            ASSERT_TRUE(Inside(box, x, y)) << x << "," << y;
            ASSERT_FALSE(x >= gapLeft && x <= gapRight) << "gap pixel " << x << "," << y;
            // Blended towards the text colour: red rises, green falls, blue rises together.
            ASSERT_GT(p.r, fill.r);
            ASSERT_LT(p.g, fill.g);
            strongest = std::max(strongest, p.r);
        }
    }
    EXPECT_GT(changed, 0);
    EXPECT_GT(strongest, 200);  // the stems are mostly covered
}

TEST(CanvasText, GlyphsSitAtTheTopLeftOfTheBox) {
    // The same text drawn 7 pixels further right and 3 lower gives the same picture, moved.
    CanvasBuffer a = MakeCanvasBuffer(120, 50), b = MakeCanvasBuffer(120, 50);
    RasterText(a, 4, 4, u"94 MB", 0, 0, true, QGuiApplication::font());
    RasterText(b, 11, 7, u"94 MB", 0, 0, true, QGuiApplication::font());
    PixelSet moved;
    for (const Pixel& p : Painted(a)) moved.insert({p.first + 7, p.second + 3});
    EXPECT_EQ(Painted(b), moved);
    TextBox box = BoxOf(4, 4, u"94 MB");
    for (const Pixel& p : Painted(a)) ASSERT_TRUE(Inside(box, p.first, p.second));
    EXPECT_FALSE(Painted(a).empty());
}

TEST(CanvasText, TextPartlyOutsideTheCanvasIsClipped) {
    CanvasBuffer buffer = MakeCanvasBuffer(30, 8);
    double end = RasterText(buffer, -10, -5, u"Virtual RAM", 0, 0, false, QGuiApplication::font());
    EXPECT_GT(end, -10.0);
    EXPECT_FALSE(Painted(buffer).empty());
    CanvasBuffer before = buffer;
    for (double far : {500.0, -1e12, 1e15, std::nan("")}) {
        RasterText(buffer, far, far, u"far away", 0, 0, false, QGuiApplication::font());
        RasterText(buffer, 3, far, u"far away", 0, 0, false, QGuiApplication::font());
    }
    EXPECT_EQ(buffer.pixels, before.pixels);
}

}  // namespace
