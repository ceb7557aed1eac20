// The pixel buffer of a canvas gadget and the primitives that paint into it. Boxes and lines are
// rasterised here, pixel-exact and without anti-aliasing; text is shaped and anti-aliased by Qt
// and blended in. Alpha stays 255: only R, G and B are ever written.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/text.h"

class QFont;

// Colour value: red in bits 0-7, green 8-15, blue 16-23 (alpha bits are ignored when drawing).
uint32_t RGB(int r, int g, int b);

struct CanvasBuffer {
    int width = 1;
    int height = 1;
    std::vector<uint8_t> pixels;  // R, G, B, A per pixel, rows top-down, no padding
};

// A buffer of the given size (a size below 2 becomes 1), every pixel white with alpha 255.
CanvasBuffer MakeCanvasBuffer(int width, int height);

// Filled rectangle; negative sizes extend left/up; clipped.
void RasterBox(CanvasBuffer& buffer, int x, int y, int width, int height, uint32_t colour);
// Line with both end points included; horizontal lines as one span, others by integer Bresenham
// after clamping to -65000..65000 and clipping.
void RasterLine(CanvasBuffer& buffer, int x1, int y1, int x2, int y2, uint32_t colour);
// Text with its top-left corner at (x, y). Unless transparent, the measured text box is first
// filled with backColour. Returns x plus the measured width.
double RasterText(CanvasBuffer& buffer, double x, double y, TextView text, uint32_t colour,
                  uint32_t backColour, bool transparent, const QFont& font);
// The width RasterText gives the text in the font, emoji in the emoji font included.
double RasterTextWidth(TextView text, const QFont& font);
