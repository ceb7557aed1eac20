#include "toolkit/canvas_raster.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "toolkit/emoji_text.h"
#include "toolkit/qt_text.h"

namespace {

constexpr int kCoordinateLimit = 65000;

struct Channels {
    uint8_t r = 0, g = 0, b = 0;
};

Channels ChannelsOf(uint32_t colour) {
    return {uint8_t(colour & 0xFF), uint8_t((colour >> 8) & 0xFF), uint8_t((colour >> 16) & 0xFF)};
}

uint8_t* PixelAt(CanvasBuffer& buffer, int x, int y) {
    return buffer.pixels.data() + (size_t(y) * size_t(buffer.width) + size_t(x)) * 4;
}

// Only R, G and B are written: the canvas stays opaque whatever alpha the colour carries.
void PutPixel(CanvasBuffer& buffer, int x, int y, Channels c) {
    uint8_t* p = PixelAt(buffer, x, y);
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

// Columns x0..x1 of row y, already inside the buffer.
void FillSpan(CanvasBuffer& buffer, int x0, int x1, int y, Channels c) {
    uint8_t* p = PixelAt(buffer, x0, y);
    for (int x = x0; x <= x1; ++x, p += 4) {
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
}

// Fills columns x..x+w-1 and rows y..y+h-1 (64-bit so that huge sizes cannot wrap), clipped.
void FillRect(CanvasBuffer& buffer, int64_t x, int64_t y, int64_t w, int64_t h, Channels c) {
    int64_t x0 = std::max<int64_t>(x, 0), x1 = std::min<int64_t>(x + w, buffer.width) - 1;
    int64_t y0 = std::max<int64_t>(y, 0), y1 = std::min<int64_t>(y + h, buffer.height) - 1;
    if (x0 > x1 || y0 > y1) return;
    for (int64_t row = y0; row <= y1; ++row) FillSpan(buffer, int(x0), int(x1), int(row), c);
}

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
    int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// Bresenham along the major axis: after k steps the minor coordinate has moved by the nearest
// whole number to k * minorSpan / majorSpan, halves rounding towards the start. Because that count
// has a closed form, drawing can begin at the first step inside the buffer and still choose the
// same pixels as a walk from the real start point.
struct LineWalk {
    int64_t major0, minor0;          // start point
    int64_t majorStep, minorStep;    // +1 or -1
    int64_t majorSpan, minorSpan;    // absolute extents, majorSpan >= minorSpan, majorSpan > 0
    int64_t majorLimit, minorLimit;  // buffer extent along each axis
};

int64_t MinorOffsetAt(const LineWalk& w, int64_t k) {
    // ceil((2 * minorSpan * k - majorSpan) / (2 * majorSpan))
    return -FloorDiv(w.majorSpan - 2 * w.minorSpan * k, 2 * w.majorSpan);
}

template <typename Plot>
void WalkLine(const LineWalk& w, Plot plot) {
    // Steps whose major coordinate lies inside the buffer.
    int64_t kA = w.majorStep > 0 ? -w.major0 : w.major0 - (w.majorLimit - 1);
    int64_t kB = w.majorStep > 0 ? w.majorLimit - 1 - w.major0 : w.major0;
    int64_t kFirst = std::max<int64_t>(0, kA), kLast = std::min<int64_t>(w.majorSpan, kB);
    if (kFirst > kLast) return;
    int64_t offset = MinorOffsetAt(w, kFirst);
    // Decision value of the classic stepping, continued from step kFirst.
    int64_t d = 2 * w.minorSpan * (kFirst + 1) - w.majorSpan - 2 * w.majorSpan * offset;
    int64_t major = w.major0 + w.majorStep * kFirst;
    int64_t minor = w.minor0 + w.minorStep * offset;
    for (int64_t k = kFirst; k <= kLast; ++k) {
        if (minor >= 0 && minor < w.minorLimit) {
            plot(major, minor);
        } else if ((w.minorStep > 0) == (minor >= w.minorLimit)) {
            return;  // left the buffer for good: the minor coordinate only moves away from here on
        }
        if (d > 0) {
            minor += w.minorStep;
            d -= 2 * w.majorSpan;
        }
        d += 2 * w.minorSpan;
        major += w.majorStep;
    }
}

int ClampCoordinate(int v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

}  // namespace

uint32_t RGB(int r, int g, int b) {
    return uint32_t(r & 0xFF) | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF) << 16;
}

CanvasBuffer MakeCanvasBuffer(int width, int height) {
    CanvasBuffer buffer;
    buffer.width = width < 2 ? 1 : width;
    buffer.height = height < 2 ? 1 : height;
    buffer.pixels.assign(size_t(buffer.width) * size_t(buffer.height) * 4, 255);
    return buffer;
}

void RasterBox(CanvasBuffer& buffer, int x, int y, int width, int height, uint32_t colour) {
    int64_t x0 = x, y0 = y, w = width, h = height;
    if (w < 0) {
        x0 += w;
        w = -w;
    }
    if (h < 0) {
        y0 += h;
        h = -h;
    }
    FillRect(buffer, x0, y0, w, h, ChannelsOf(colour));
}

void RasterLine(CanvasBuffer& buffer, int x1, int y1, int x2, int y2, uint32_t colour) {
    Channels c = ChannelsOf(colour);
    if (y1 == y2) {
        if (y1 < 0 || y1 >= buffer.height) return;
        int64_t lo = std::max(std::min(x1, x2), 0);
        int64_t hi = std::min(std::max(x1, x2), buffer.width - 1);
        if (lo <= hi) FillSpan(buffer, int(lo), int(hi), y1, c);
        return;
    }
    x1 = ClampCoordinate(x1), y1 = ClampCoordinate(y1);
    x2 = ClampCoordinate(x2), y2 = ClampCoordinate(y2);
    int64_t dx = int64_t(x2) - x1, dy = int64_t(y2) - y1;
    int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    if (std::llabs(dx) >= std::llabs(dy)) {
        LineWalk w{x1, y1, sx, sy, std::llabs(dx), std::llabs(dy), buffer.width, buffer.height};
        WalkLine(w, [&](int64_t x, int64_t y) { PutPixel(buffer, int(x), int(y), c); });
    } else {
        LineWalk w{y1, x1, sy, sx, std::llabs(dy), std::llabs(dx), buffer.height, buffer.width};
        WalkLine(w, [&](int64_t y, int64_t x) { PutPixel(buffer, int(x), int(y), c); });
    }
}

namespace {

// Mixes the colour into the canvas by the coverage of a white-on-black rendering; alpha untouched.
void BlendCoverage(CanvasBuffer& buffer, const QImage& coverage, int left, int top, Channels c) {
    int x0 = std::max(left, 0), x1 = std::min(left + coverage.width(), buffer.width);
    int y0 = std::max(top, 0), y1 = std::min(top + coverage.height(), buffer.height);
    for (int y = y0; y < y1; ++y) {
        const uchar* line = coverage.constScanLine(y - top);
        uint8_t* p = PixelAt(buffer, x0, y);
        for (int x = x0; x < x1; ++x, p += 4) {
            unsigned a = line[x - left];
            if (a == 0) continue;
            unsigned keep = 255 - a;
            p[0] = uint8_t((c.r * a + p[0] * keep + 127) / 255);
            p[1] = uint8_t((c.g * a + p[1] * keep + 127) / 255);
            p[2] = uint8_t((c.b * a + p[2] * keep + 127) / 255);
        }
    }
}

// Colour glyphs keep their own colours: the rendering is laid over the canvas by its alpha.
void BlendColourGlyphs(CanvasBuffer& buffer, const QImage& glyphs, int left, int top) {
    int x0 = std::max(left, 0), x1 = std::min(left + glyphs.width(), buffer.width);
    int y0 = std::max(top, 0), y1 = std::min(top + glyphs.height(), buffer.height);
    for (int y = y0; y < y1; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(glyphs.constScanLine(y - top));
        uint8_t* p = PixelAt(buffer, x0, y);
        for (int x = x0; x < x1; ++x, p += 4) {
            const QRgb premultiplied = line[x - left];
            unsigned a = qAlpha(premultiplied);
            if (a == 0) continue;
            unsigned keep = 255 - a;
            p[0] = uint8_t(std::min(255u, qRed(premultiplied) + (p[0] * keep + 127) / 255));
            p[1] = uint8_t(std::min(255u, qGreen(premultiplied) + (p[1] * keep + 127) / 255));
            p[2] = uint8_t(std::min(255u, qBlue(premultiplied) + (p[2] * keep + 127) / 255));
        }
    }
}

// The text's extent and its rendering: the plain text as coverage for the given colour, the emoji
// (if any) in their own colours.
struct TextRendering {
    double width = 0, height = 0;
    QImage coverage;  // Grayscale8
    QImage emoji;     // ARGB32 premultiplied, null without emoji
};

TextRendering RenderText(const QString& string, const QFont& font, double fx, double fy) {
    TextRendering r;
    std::optional<EmojiTextLayout> layout;
    if (HasEmoji(string)) {
        layout.emplace(string, font, 0, 0.0);
        r.width = layout->NaturalSize().width();
        r.height = std::max(layout->NaturalSize().height(), QFontMetricsF(font).height());
    } else {
        QFontMetricsF metrics(font);
        r.width = metrics.horizontalAdvance(string);
        r.height = metrics.height();
    }
    const int boxWidth = int(std::ceil(r.width + fx)), boxHeight = int(std::ceil(r.height + fy));
    if (boxWidth <= 0 || boxHeight <= 0 || string.isEmpty()) return r;
    r.coverage = QImage(boxWidth, boxHeight, QImage::Format_Grayscale8);
    r.coverage.fill(0);
    const QPointF origin(0.5 + fx, 0.5 + fy);
    {
        QPainter painter(&r.coverage);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(font);
        painter.setPen(Qt::white);
        if (layout)
            layout->Draw(painter, QRectF(origin, QSizeF(r.width, r.height)), EmojiTextLayout::TextOnly);
        else
            painter.drawText(origin + QPointF(0, QFontMetricsF(font).ascent()), string);
    }
    if (layout) {
        r.emoji = QImage(boxWidth, boxHeight, QImage::Format_ARGB32_Premultiplied);
        r.emoji.fill(Qt::transparent);
        QPainter painter(&r.emoji);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        layout->Draw(painter, QRectF(origin, QSizeF(r.width, r.height)), EmojiTextLayout::EmojiOnly);
    }
    return r;
}

}  // namespace

double RasterText(CanvasBuffer& buffer, double x, double y, TextView text, uint32_t colour,
                  uint32_t backColour, bool transparent, const QFont& font) {
    // The rendering sits on whole pixels; a fractional position moves the glyphs inside it.
    double left = std::floor(x), top = std::floor(y);
    // Far outside any canvas (or not a number): nothing to draw, and no pixel position to compute.
    if (!(std::abs(left) <= kCoordinateLimit && std::abs(top) <= kCoordinateLimit))
        return x + QFontMetricsF(font).horizontalAdvance(ToQString(text));
    const TextRendering r = RenderText(ToQString(text), font, x - left, y - top);
    if (!transparent) {
        FillRect(buffer, int64_t(left), int64_t(top), int64_t(std::ceil(r.width + x - left)),
                 int64_t(std::ceil(r.height + y - top)), ChannelsOf(backColour));
    }
    if (!r.coverage.isNull()) BlendCoverage(buffer, r.coverage, int(left), int(top), ChannelsOf(colour));
    if (!r.emoji.isNull()) BlendColourGlyphs(buffer, r.emoji, int(left), int(top));
    return x + r.width;
}

double RasterTextWidth(TextView text, const QFont& font) {
    const QString string = ToQString(text);
    if (HasEmoji(string)) return EmojiTextLayout(string, font, 0, 0.0).NaturalSize().width();
    return QFontMetricsF(font).horizontalAdvance(string);
}
