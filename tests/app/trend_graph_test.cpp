// The graph's drawing plan has its own tests; these see the plan reach the canvas.
#include "app/trend_graph.h"

#include <gtest/gtest.h>

#include <algorithm>

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
        {1, 1, TrendBackground}, {200, 115, TrendGrid}, {300, 20, TrendVirtual},  // far above the scale: on the top line
    };
    for (const auto& p : probes) EXPECT_EQ(PixelAt(p.x, p.y), p.colour) << p.x << "," << p.y;
    int rise = 0;  // the footprint steps up between slots 149 and 150, mid-plot: a steep line
    for (int x = 200; x < 300; ++x) {
        int column = 0;
        for (int y = 0; y < 140; ++y) column += PixelAt(x, y) == TrendFootprint;
        rise = std::max(rise, column);
    }
    EXPECT_GT(rise, 10);
    int ink = 0, boxed = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 64; ++x) ink += PixelAt(x, y) != TrendBackground, boxed += PixelAt(x, y) == 0;
    EXPECT_GT(ink, 100) << "the axis labels are drawn";
    EXPECT_EQ(boxed, 0) << "in the transparent mode";
}

// In every language the legend's box holds both its texts, however long, and stays clear of the
// plot: right of the box and between it and the grid there is only the background.
TEST_F(TrendGraphTest, TheLegendBoxHoldsItsTextsInEveryLanguage) {
    for (const char16_t* language : {u"en", u"fr", u"de", u"es", u"it"}) {
        LoadStringTable(language);
        DrawTrendGraph(Canvas, SampleHistory(), plan);
        int left = 560, right = 0, gridEnd = 0;
        for (int x = 0; x < 560; ++x) {
            if (PixelAt(x, 15) == TrendLegendBox) left = std::min(left, x), right = std::max(right, x);
            if (PixelAt(x, 20) == TrendGrid) gridEnd = x;
        }
        ASSERT_LT(left, right) << TextToUtf8(language);
        EXPECT_LT(gridEnd, left - 1) << TextToUtf8(language);
        int outside = 0;
        for (int y = 10; y < 70; ++y)
            for (int x = right + 1; x < 560; ++x) outside += PixelAt(x, y) != TrendBackground;
        EXPECT_EQ(outside, 0) << TextToUtf8(language) << ": the legend's texts run past its box";
    }
    LoadStringTable(u"en");
}
