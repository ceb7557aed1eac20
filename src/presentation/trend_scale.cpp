#include "presentation/trend_scale.h"

#include <algorithm>
#include <cmath>

#include "strings/stringtable.h"

namespace {

// The plot's frame on the canvas; the right margin leaves room for the legend, which keeps
// LegendGap from the plot and from the canvas's right edge.
constexpr int PlotLeft = 65;
constexpr int PlotTop = 20;
constexpr int GridLines = 5;
constexpr int LegendGap = 10;
// The legend box: at least this wide; its texts start this far into it and keep a margin to its
// right edge.
constexpr int LegendMinWidth = 105;
constexpr int LegendTextLeft = 25;
constexpr int LegendTextMargin = 8;

struct Plot {
    int right{};  // where the grid lines end
    float width{};
    float height{};
    float bottom{};
    float slotStep{};
};

Plot PlotOf(int width, int height, int legendWidth) {
    Plot plot;
    plot.right = width - legendWidth - 2 * LegendGap;
    plot.width = float(plot.right - PlotLeft);
    plot.height = float(height - 45);
    plot.bottom = float(PlotTop) + plot.height;
    plot.slotStep = plot.width / 299.0f;
    return plot;
}

// Every coordinate computed as a float lands on the nearest pixel, halves to even.
int Pixel(float value) { return int(RoundToInteger(value)); }

float ValueY(float value, const TrendScale& scale, const Plot& plot) {
    return float(double(plot.bottom) - (double(value) - double(scale.bottom)) / double(scale.range) *
                                           double(plot.height));
}

void AddMode(TrendPlan& plan, int mode) {
    TrendDrawOp op;
    op.kind = TrendDrawOp::SetMode;
    op.mode = mode;
    plan.ops.push_back(op);
}

void AddShape(TrendPlan& plan, TrendDrawOp::Kind kind, int a, int b, int c, int d, uint32_t colour) {
    TrendDrawOp op;
    op.kind = kind;
    op.x1 = a, op.y1 = b, op.x2 = c, op.y2 = d;
    op.colour = colour;
    plan.ops.push_back(op);
}

void AddText(TrendPlan& plan, double x, double y, Text text, uint32_t colour) {
    TrendDrawOp op;
    op.kind = TrendDrawOp::DrawLabel;
    op.textX = x, op.textY = y;
    op.colour = colour;
    op.text = plan.texts.size();
    plan.texts.push_back(std::move(text));
    plan.ops.push_back(op);
}

void PlanGrid(TrendPlan& plan, const Plot& plot) {
    for (int i = 0; i < GridLines; ++i) {
        const float y = float(PlotTop) + float(i) * (plot.height / 4.0f);
        AddText(plan, 5.0, double(y) - 6.0, TrendGridLabel(plan.scale, i), TrendAxisLabel);
        AddShape(plan, TrendDrawOp::DrawLine, PlotLeft, Pixel(y), plot.right, Pixel(y), TrendGrid);
    }
}

// A segment joins two neighbouring slots that both hold a footprint; the virtual line is drawn on
// the footprint's scale and held at the top line where it is higher.
void PlanLines(TrendPlan& plan, const SampleHistory& history, const Plot& plot) {
    const TrendScale& scale = plan.scale;
    for (int64_t i = 0; i + 1 < HistorySlotCount; ++i) {
        const HistoryPoint& a = history.slots[i];
        const HistoryPoint& b = history.slots[i + 1];
        if (!(a.footprintMB > 0.0f) || !(b.footprintMB > 0.0f)) continue;
        const int x1 = Pixel(float(PlotLeft) + float(i) * plot.slotStep);
        const int x2 = Pixel(float(PlotLeft) + float(i + 1) * plot.slotStep);
        AddShape(plan, TrendDrawOp::DrawLine, x1, Pixel(ValueY(a.footprintMB, scale, plot)), x2,
                 Pixel(ValueY(b.footprintMB, scale, plot)), TrendFootprint);
        if (!(a.virtualMB > 0.0f)) continue;
        float ya = ValueY(a.virtualMB, scale, plot);
        float yb = ValueY(b.virtualMB, scale, plot);
        if (ya < float(PlotTop)) ya = float(PlotTop);
        if (yb < float(PlotTop)) yb = float(PlotTop);
        AddShape(plan, TrendDrawOp::DrawLine, x1, Pixel(ya), x2, Pixel(yb), TrendVirtual);
    }
}

// The legend box's width: its narrowest, or wide enough for the longer of its texts.
int LegendWidth(TrendTextWidth textWidth) {
    if (!textWidth) return LegendMinWidth;
    const double longest = std::max(textWidth(LookupText(TextId::LegendFootprint)),
                                    textWidth(LookupText(TextId::LegendVirtual)));
    return std::max(LegendMinWidth, LegendTextLeft + int(std::ceil(longest)) + LegendTextMargin);
}

void PlanLegend(TrendPlan& plan, int width, int legendWidth) {
    const int left = width - LegendGap - legendWidth;
    AddMode(plan, 0);
    AddShape(plan, TrendDrawOp::FillBox, left, 10, legendWidth, 60, TrendLegendBox);
    AddShape(plan, TrendDrawOp::FillBox, left + 7, 20, 12, 12, TrendFootprint);
    AddMode(plan, 1);
    AddText(plan, left + LegendTextLeft, 18, LookupText(TextId::LegendFootprint), TrendLegendText);
    AddMode(plan, 0);
    AddShape(plan, TrendDrawOp::FillBox, left + 7, 42, 12, 12, TrendVirtual);
    AddMode(plan, 1);
    AddText(plan, left + LegendTextLeft, 40, LookupText(TextId::LegendVirtual), TrendLegendText);
}

}  // namespace

TrendScale ComputeTrendScale(const SampleHistory& history) {
    float minimum = 999999.0f;
    float maximum = 0.0f;
    bool any = false;
    for (int64_t i = 0; i < HistorySlotCount; ++i) {
        const float mb = history.slots[i].footprintMB;
        if (!(mb > 0.0f)) continue;
        any = true;
        if (mb < minimum) minimum = mb;
        if (mb > maximum) maximum = mb;
    }
    if (!any) minimum = 0.0f, maximum = 100.0f;
    if (minimum == maximum) maximum = minimum + 10.0f;

    TrendScale scale;
    scale.maxPad = float(double(maximum) * 1.1);
    scale.minPad = float(double(minimum) * 0.9);
    scale.step = scale.maxPad < 50.0f ? 5 : scale.maxPad < 500.0f ? 25 : 100;
    scale.top = float(Round(double(scale.maxPad) / scale.step, RoundUp) * scale.step);
    scale.bottom = scale.minPad < 20.0f ? 0.0f : float(Round(double(scale.minPad) / 10.0, RoundDown) * 10.0);
    scale.range = scale.top - scale.bottom;
    if (!(scale.range > 0.0f)) scale.range = 1.0f;
    return scale;
}

Text TrendGridLabel(const TrendScale& scale, int line) {
    const float value = scale.top - float(line) * (scale.range / 4.0f);
    return Str(int64_t(Round(value, RoundNearest))) + u" MB";
}

void PlanTrendGraph(const SampleHistory& history, int width, int height, TrendPlan& plan,
                    TrendTextWidth textWidth) {
    plan.ops.clear();
    plan.texts.clear();
    plan.scale = ComputeTrendScale(history);
    const int legendWidth = LegendWidth(textWidth);
    const Plot plot = PlotOf(width, height, legendWidth);
    AddMode(plan, 0);
    AddShape(plan, TrendDrawOp::FillBox, 0, 0, width, height, TrendBackground);
    AddMode(plan, 1);
    PlanGrid(plan, plot);
    PlanLines(plan, history, plot);
    PlanLegend(plan, width, legendWidth);
}
