#include "presentation/plot_plan.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<const PlotOp*> LabelsAt(const PlotPlan& plan, double y) {
    std::vector<const PlotOp*> found;
    for (const PlotOp& op : plan.ops)
        if (op.kind == PlotOp::Label && op.y == y) found.push_back(&op);
    return found;
}

// `bands` bands of two labels in turn, or of a label each when `distinct`.
PlotInput Ramp(size_t points, int bands, bool distinct = false) {
    PlotInput in;
    PlotCurve curve{"footprint", 0xFF000000u, 2.0, false, {}};
    for (size_t i = 0; i < points; ++i) curve.points.push_back({double(i), 10.0 + (i % 7 == 3 ? 50.0 : 10.0 * i / points)});
    in.curves.push_back(curve);
    const double width = double(points - 1) / std::max(bands, 1);
    for (int b = 0; b < bands; ++b)
        in.bands.push_back({b * width, (b + 1) * width,
                            distinct ? "Phase " + std::to_string(b) + " Release"
                            : b % 2  ? "Processing Spike / Memory Growth"
                                     : "Release",
                            uint32_t(b % 2)});
    return in;
}

}  // namespace

TEST(PlotPlan, TicksAreRoundAndEncloseTheRangeInTheRunsUnit) {
    const struct { double low, high; int target; std::vector<double> ticks; } cases[] = {
        {0, 9.3, 6, {0, 2, 4, 6, 8, 10}},
        {101.2, 187, 6, {100, 120, 140, 160, 180, 200}},
        {4990, 5010, 4, {4990, 4995, 5000, 5005, 5010}},
        {3, 3, 6, {3, 3.2, 3.4, 3.6, 3.8, 4}},
    };
    for (const auto& c : cases) {
        const std::vector<double> ticks = RoundTicks(c.low, c.high, c.target);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.low << " " << c.high;
        for (size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9) << c.low << " " << i;
    }
    EXPECT_EQ(std::string(TimeAxisUnit(180).symbol) + TimeAxisUnit(181).symbol + TimeAxisUnit(3 * 3600).symbol +
                  TimeAxisUnit(3 * 3600 + 1).symbol,
              "sminminh");
    const std::pair<double, const char*> texts[] = {{2.5, "2.5"}, {0.1 + 0.2, "0.3"}, {-0.0, "0"}};
    for (auto [value, text] : texts) EXPECT_EQ(TickText(value), text);
}

// However many phases, band labels never overlap one another.
TEST(PlotPlan, BandLabelsNeverOverlapAndTheRestGoToTheLegend) {
    for (auto [bands, distinct] : {std::pair{1, false}, {4, false}, {12, false}, {60, false}, {60, true}, {150, true}}) {
        SCOPED_TRACE(bands);
        const PlotPlan plan = PlanPlot(Ramp(300, bands, distinct));
        const std::vector<const PlotOp*> inBands = LabelsAt(plan, 74);
        for (size_t i = 1; i < inBands.size(); ++i) {
            const PlotOp& a = *inBands[i - 1];
            const PlotOp& b = *inBands[i];
            EXPECT_LE(a.x + a.w / 2, b.x - b.w / 2 + 1e-6);
            EXPECT_LE(EstimateLabelWidth(b.text, b.fontPx), b.w + 4) << b.text;
        }
        // What does not fit in the legend is counted in a last entry "+N" (the numbering is the
        // plot program's test's); the legend stays on the page.
        const bool more = std::any_of(plan.ops.begin(), plan.ops.end(), [](const PlotOp& op) {
            return op.kind == PlotOp::Label && op.text.starts_with("+");
        });
        EXPECT_EQ(more, bands == 150);
        EXPECT_LE(plan.ops.back().y, 600);
    }
}

// A long series is thinned to a few points per pixel column, keeping each column's extremes.
TEST(PlotPlan, ALongCurveKeepsItsSpikesInFewPoints) {
    const PlotPlan plan = PlanPlot(Ramp(100000, 0));
    const PlotOp* curve = nullptr;
    for (const PlotOp& op : plan.ops)
        if (op.kind == PlotOp::Line && op.lineWidth == 2.0 && op.count > 2) curve = &op;
    ASSERT_NE(curve, nullptr);
    EXPECT_LE(curve->count, 2 * 1200u + 2);
    double top = 1e9;
    for (size_t i = curve->first; i < curve->first + curve->count; ++i) top = std::min(top, plan.points[i].mb);
    // Every seventh point is a spike to 60 MB, the ramp below stays under 20 MB: the spikes reach the top.
    EXPECT_LT(top, 200);  // the spikes near 127 px; without them the curve stays below 390 px
}

TEST(PlotPlan, TheWireFormatCarriesThePlanAndRefusesAnythingElse) {
    PlotInput in = Ramp(50, 3);
    in.title = "Titre accentué · 95 %";
    const PlotPlan plan = PlanPlot(in);
    PlotPlan back;
    ASSERT_TRUE(ReadPlotPlan(WritePlotPlan(plan), back));
    ASSERT_EQ(back.ops.size(), plan.ops.size());
    EXPECT_EQ(back.points.size(), plan.points.size());
    for (size_t i = 0; i < plan.ops.size(); ++i) {
        const PlotOp &a = back.ops[i], &b = plan.ops[i];
        EXPECT_TRUE(a.kind == b.kind && a.text == b.text && a.colour == b.colour && std::abs(a.x - b.x) < 0.005) << i;
    }
    for (const char* bad : {"", "quolk-plot 1 0 600\n", "quolk-plot 1 10 10\nX 1 2\n", "quolk-plot 1 10 10\nB 1 2 nan 4 5\n",
                            "quolk-plot 1 10 10\nL 255 1 0 3 1 1 2 2\n"})
        EXPECT_FALSE(ReadPlotPlan(bad, back)) << bad;
}
