// A plot of footprints over time as data: the axes with round ticks, the phases as pale bands, the
// curves, dashed levels, title, caption and legend, laid out for a picture of a given size. The
// drawing program (quolk-plot, the only part of a plot that needs Qt) replays the plan's
// operations; every decision about what goes where is taken here, where it is tested without Qt.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "presentation/trend_scale.h"

struct PlotPoint {
    double seconds{};  // from the curve's own start
    double mb{};
};

struct PlotCurve {
    std::string name;  // in the legend
    uint32_t colour{};
    double width{2.0};
    bool rightAxis{};  // drawn against the right-hand value axis (virtual size)
    std::vector<PlotPoint> points;
};

struct PlotBand {
    double start{}, end{};  // seconds
    std::string label;
    uint32_t colour{};
};

// A dashed horizontal line at a value of the left axis.
struct PlotLevel {
    double mb{};
    std::string label;  // in the legend
    uint32_t colour{};
};

struct PlotInput {
    int width{1200}, height{600};
    std::string title;     // bold, on the first line
    std::string subtitle;  // below it
    std::string caption;
    std::string rightAxisName;  // empty: no right-hand axis
    std::vector<PlotCurve> curves;
    std::vector<PlotBand> bands;
    std::vector<PlotLevel> levels;
};

// One drawing operation, in pixels from the top-left corner. Colours are TrendColour values with
// the opacity (0 to 255, 255 opaque) in bits 24-31.
struct PlotOp {
    enum Kind : uint8_t { Box, Line, Label } kind{Box};
    double x{}, y{}, w{}, h{};  // Box: the rectangle. Label: the anchor and the widest it may be
                                // drawn (w); Line: unused
    uint32_t colour{};
    double lineWidth{1.0};
    bool dashed{};
    size_t first{}, count{};  // Line: its points in PlotPlan::points
    std::string text;         // Label
    double fontPx{12.0};
    bool bold{};
    int align{};  // Label: 0 left, 1 centred, 2 right of x; y is the text's baseline
};

struct PlotPlan {
    int width{}, height{};
    std::vector<PlotOp> ops;  // in painting order
    std::vector<PlotPoint> points;  // x, y in pixels for the lines
};

// Round ticks of 1, 2 or 5 × 10^n covering [low, high], about `target` of them.
std::vector<double> RoundTicks(double low, double high, int target);

// The unit of the time axis for a run of `seconds`: seconds up to 3 minutes, minutes up to 3 hours,
// hours beyond; its size in seconds and its symbol.
struct TimeUnit {
    double seconds{1.0};
    const char* symbol{"s"};
};
TimeUnit TimeAxisUnit(double seconds);

// A value as a tick label: no decimals it does not need ("0.5", "2", "1250").
std::string TickText(double value);

// A width estimate of a text at a font size, generous enough that a label judged to fit does.
double EstimateLabelWidth(std::string_view utf8, double fontPx);

PlotPlan PlanPlot(const PlotInput& input);

// The plan as lines of text for the drawing program, and back. ReadPlotPlan is false for text that
// is not a plan.
std::string WritePlotPlan(const PlotPlan& plan);
bool ReadPlotPlan(std::string_view text, PlotPlan& plan);
