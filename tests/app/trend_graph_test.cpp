// The graph's drawing plan has its own tests; these see the plan reach the canvas.
#include "app/trend_graph.h"

#include <gtest/gtest.h>

#include "presentation/trend_scale.h"
#include "strings/stringtable.h"
#include "toolkit/canvas_gadget.h"
#include "toolkit/drawing.h"
#include "toolkit/gadget.h"
#include "toolkit/toolkit_fixture.h"
#include "toolkit/window.h"

namespace {

constexpr int64_t Canvas = 21;

uint32_t PixelAt(int x, int y) {
    const CanvasBuffer* buffer = CanvasBufferOfGadget(Canvas);
    const uint8_t* p = &buffer->pixels[size_t(y * buffer->width + x) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

class TrendGraphTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        LoadStringTable(u"en");
        ASSERT_TRUE(OpenWindow(0, 0, 0, 600, 200, u"graph"));
        ASSERT_TRUE(CanvasGadget(Canvas, 20, 10, 560, 140));
    }
    TrendPlan plan;
};

}  // namespace

// Each kind of step leaves its colour where the plan puts it: boxes, lines, and the labels drawn
// without a box behind them. Every drawing ends its context (or the last would be refused), and
// a gadget that is no canvas gets nothing.
TEST_F(TrendGraphTest, EveryKindOfStepOfThePlanReachesTheCanvas) {
    ASSERT_TRUE(ButtonGadget(22, 0, 0, 50, 25, u"x"));
    DrawTrendGraph(22, SampleHistory(), plan);
    DrawTrendGraph(Canvas, SampleHistory(), plan);
    SampleHistory history;
    for (int i = 0; i < 300; ++i) AppendHistoryPoint(history, i, i < 150 ? 40.0f : 50.0f, 5000.0f);
    DrawTrendGraph(Canvas, history, plan);
    const struct { int x, y; uint32_t colour; } probes[] = {
        {1, 1, TrendBackground}, {200, 115, TrendGrid}, {549, 69, TrendLegendBox}, {452, 20, TrendFootprint},
        {452, 42, TrendVirtual}, {300, 20, TrendVirtual},  // the virtual size, far above the scale, on the top line
    };
    for (const auto& p : probes) EXPECT_EQ(PixelAt(p.x, p.y), p.colour) << p.x << "," << p.y;
    int rise = 0;  // the footprint steps up between slots 149 and 150, near x 250: a steep line
    for (int y = 0; y < 140; ++y) rise += PixelAt(249, y) == TrendFootprint || PixelAt(250, y) == TrendFootprint;
    EXPECT_GT(rise, 10);
    int ink = 0, boxed = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 64; ++x) ink += PixelAt(x, y) != TrendBackground, boxed += PixelAt(x, y) == 0;
    EXPECT_GT(ink, 100) << "the axis labels are drawn";
    EXPECT_EQ(boxed, 0) << "in the transparent mode";
}
