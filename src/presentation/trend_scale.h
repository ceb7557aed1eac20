// The trend graph's picture as data: the scale chosen from the footprints and the boxes, lines and
// texts that paint a canvas of a given size. The window replays the operations on its canvas; the
// decisions stay here, where they are tested without a display.
#pragma once

#include <cstdint>
#include <vector>

#include "monitor/sample_history.h"
#include "runtime/text.h"

// Colour value: red in bits 0-7, green 8-15, blue 16-23.
constexpr uint32_t TrendColour(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}
inline constexpr uint32_t TrendBackground = TrendColour(25, 28, 36);
inline constexpr uint32_t TrendGrid = TrendColour(45, 52, 65);
inline constexpr uint32_t TrendAxisLabel = TrendColour(255, 255, 255);
inline constexpr uint32_t TrendFootprint = TrendColour(180, 110, 255);
inline constexpr uint32_t TrendVirtual = TrendColour(0, 220, 240);
inline constexpr uint32_t TrendLegendBox = TrendColour(35, 40, 52);
inline constexpr uint32_t TrendLegendText = TrendColour(220, 220, 230);

// The value axis: it follows the footprint alone.
struct TrendScale {
    float maxPad{};
    float minPad{};
    int step{};      // MB between round values: 5, 25 or 100
    float top{};     // value at the top grid line
    float bottom{};  // value at the bottom grid line
    float range{};   // top - bottom, 1 when that is not positive
};

TrendScale ComputeTrendScale(const SampleHistory& history);

// The value of grid line i (0 at the top, 4 at the bottom), as its label reads: "94 MB".
Text TrendGridLabel(const TrendScale& scale, int line);

struct TrendDrawOp {
    enum Kind : uint8_t { SetMode, FillBox, DrawLine, DrawLabel } kind{SetMode};
    int mode{};                    // SetMode: 0 opaque, 1 transparent text background
    int x1{}, y1{}, x2{}, y2{};    // FillBox: x, y, width, height; DrawLine: the two end points
    double textX{}, textY{};       // DrawLabel: the top-left corner
    uint32_t colour{};
    size_t text{};                 // DrawLabel: index into TrendPlan::texts
};

struct TrendPlan {
    TrendScale scale;
    std::vector<TrendDrawOp> ops;  // in painting order
    std::vector<Text> texts;
};

// The width a text takes on the canvas, as the window measures it in the font it draws with.
using TrendTextWidth = double (*)(TextView text);

// The whole picture for a canvas of width × height from the history's 300 slots; the plan's
// storage is reused from call to call. With `textWidth` the legend's box widens (and the plot
// narrows) to hold its longest text; without it the box keeps its narrowest width.
void PlanTrendGraph(const SampleHistory& history, int width, int height, TrendPlan& plan,
                    TrendTextWidth textWidth = nullptr);
