#include "app/trend_graph.h"

#include <gtest/gtest.h>

#include <functional>

#include "presentation/trend_scale.h"
#include "strings/stringtable.h"
#include "toolkit/canvas_gadget.h"
#include "toolkit/canvas_raster.h"
#include "toolkit/drawing.h"
#include "toolkit/gadget.h"
#include "toolkit/toolkit_fixture.h"
#include "toolkit/window.h"

namespace {

constexpr int64_t Canvas = 21;
constexpr int64_t Reference = 900;

SampleHistory HistoryOf(int count, const std::function<float(int)>& footprint,
                        const std::function<float(int)>& virtualSize) {
    SampleHistory history;
    for (int i = 0; i < count; ++i) AppendHistoryPoint(history, i, footprint(i), virtualSize(i));
    return history;
}

uint32_t PixelAt(int64_t gadget, int x, int y) {
    const CanvasBuffer* buffer = CanvasBufferOfGadget(gadget);
    const uint8_t* p = &buffer->pixels[size_t(y * buffer->width + x) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

bool ColumnHas(int64_t gadget, int x, uint32_t colour, int fromY = 0, int toY = 139) {
    for (int y = fromY; y <= toY; ++y)
        if (PixelAt(gadget, x, y) == colour) return true;
    return false;
}

class TrendGraphTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        LoadStringTable(u"en");
        ASSERT_TRUE(OpenWindow(0, 0, 0, 600, 300, u"graph"));
        ASSERT_TRUE(CanvasGadget(Canvas, 20, 10, 560, 140));
        ASSERT_TRUE(CanvasGadget(Reference, 20, 155, 560, 140));
    }

    TrendPlan plan;

    // The axis labels alone, drawn straight on the reference canvas where the graph puts them.
    void DrawReferenceLabels(const std::vector<Text>& labels) {
        ASSERT_TRUE(StartDrawing(CanvasOutput(Reference)));
        Box(0, 0, 560, 140, TrendBackground);
        DrawingMode(1);
        const double ys[] = {14, 37.75, 61.5, 85.25, 109};
        for (size_t i = 0; i < labels.size(); ++i) DrawText(5, ys[i], labels[i], TrendAxisLabel);
        StopDrawing();
    }

    // The label column left of the plot is the same on both canvases.
    void ExpectLabels(const char* name, const SampleHistory& history, const std::vector<Text>& labels) {
        DrawTrendGraph(Canvas, history, plan);
        DrawReferenceLabels(labels);
        int differing = 0, written = 0;
        for (int y = 0; y < 140; ++y) {
            for (int x = 0; x < 64; ++x) {
                differing += PixelAt(Canvas, x, y) != PixelAt(Reference, x, y);
                written += PixelAt(Canvas, x, y) != TrendBackground;
            }
        }
        EXPECT_EQ(differing, 0) << name;
        EXPECT_GT(written, 100) << name << ": the labels are drawn";
    }
};

}  // namespace

TEST_F(TrendGraphTest, AxisLabelsFollowTheFootprints) {
    const auto none = [](int) { return 0.0f; };
    ExpectLabels("no footprint", HistoryOf(5, none, none), {u"125 MB", u"94 MB", u"63 MB", u"31 MB", u"0 MB"});
    ExpectLabels("all 80", HistoryOf(300, [](int) { return 80.0f; }, none),
                 {u"100 MB", u"93 MB", u"85 MB", u"78 MB", u"70 MB"});
    ExpectLabels("40 and 45: steps of 5", HistoryOf(2, [](int i) { return i ? 45.0f : 40.0f; }, none),
                 {u"50 MB", u"45 MB", u"40 MB", u"35 MB", u"30 MB"});
}

TEST_F(TrendGraphTest, BackgroundGridAndLegend) {
    DrawTrendGraph(Canvas, HistoryOf(0, nullptr, nullptr), plan);
    const struct { int x, y; uint32_t colour; } cases[] = {
        {1, 1, TrendBackground},  {64, 44, TrendBackground}, {65, 44, TrendGrid},   {435, 68, TrendGrid},
        {436, 91, TrendBackground}, {200, 115, TrendGrid},   {200, 116, TrendBackground},
        {446, 11, TrendLegendBox}, {452, 20, TrendFootprint}, {463, 31, TrendFootprint},
        {452, 42, TrendVirtual},  {549, 69, TrendLegendBox}, {550, 70, TrendBackground},
    };
    for (const auto& c : cases) EXPECT_EQ(PixelAt(Canvas, c.x, c.y), c.colour) << c.x << "," << c.y;
    for (int x = 65; x <= 435; ++x) EXPECT_FALSE(ColumnHas(Canvas, x, TrendFootprint)) << "no data, no line: " << x;
}

// A slot without footprint breaks both lines there; elsewhere neighbouring slots are joined.
TEST_F(TrendGraphTest, AnEmptySlotBreaksBothLines) {
    for (bool hole : {false, true}) {
        DrawTrendGraph(Canvas, HistoryOf(300, [hole](int i) { return hole && i == 150 ? 0.0f : 40.0f + float(i % 7); },
                                         [](int) { return 45.0f; }), plan);
        // Slot 149 is at x 249, slot 151 at x 252: nothing may be drawn in between.
        for (int x : {250, 251}) {
            EXPECT_EQ(ColumnHas(Canvas, x, TrendFootprint), !hole) << x;
            EXPECT_EQ(ColumnHas(Canvas, x, TrendVirtual), !hole) << x;
        }
        EXPECT_TRUE(ColumnHas(Canvas, 249, TrendFootprint));
        EXPECT_TRUE(ColumnHas(Canvas, 252, TrendFootprint));
    }
}

// The scale follows the footprint alone: a virtual size far above it runs along the top line.
TEST_F(TrendGraphTest, VirtualSizeAboveTheScaleIsPinnedToTheTopLine) {
    DrawTrendGraph(Canvas, HistoryOf(300, [](int i) { return 40.0f + float(i % 5); }, [](int) { return 5000.0f; }), plan);
    for (int x = 66; x < 435; x += 7) {
        EXPECT_EQ(PixelAt(Canvas, x, 20), TrendVirtual) << x;
        EXPECT_FALSE(ColumnHas(Canvas, x, TrendVirtual, 0, 19)) << x;
        EXPECT_FALSE(ColumnHas(Canvas, x, TrendVirtual, 21, 139)) << x;
    }
}

TEST_F(TrendGraphTest, NothingIsDrawnOnAGadgetThatIsNoCanvas) {
    ASSERT_TRUE(ButtonGadget(22, 0, 0, 50, 25, u"x"));
    DrawTrendGraph(22, HistoryOf(3, [](int) { return 10.0f; }, [](int) { return 10.0f; }), plan);
    DrawTrendGraph(Canvas, HistoryOf(0, nullptr, nullptr), plan);  // a context left open would refuse this
    EXPECT_EQ(PixelAt(Canvas, 1, 1), TrendBackground);
}
