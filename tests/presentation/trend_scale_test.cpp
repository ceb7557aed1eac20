#include "presentation/trend_scale.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

#include "strings/stringtable.h"

namespace {

// slot i gets footprint f(i) and virtual v(i); slots past `count` stay empty.
SampleHistory HistoryOf(int count, const std::function<float(int)>& f,
                        const std::function<float(int)>& v = [](int) { return 0.0f; }) {
    SampleHistory history;
    for (int i = 0; i < count; ++i) history.slots[i] = HistoryPoint{i, f(i), v(i)};
    history.count = count;
    return history;
}

std::vector<Text> Labels(const TrendScale& scale) {
    std::vector<Text> labels;
    for (int i = 0; i < 5; ++i) labels.push_back(TrendGridLabel(scale, i));
    return labels;
}

using Segment = std::tuple<int, int, int, int>;
std::vector<Segment> Segments(const TrendPlan& plan, uint32_t colour) {
    std::vector<Segment> found;
    for (const TrendDrawOp& op : plan.ops)
        if (op.kind == TrendDrawOp::DrawLine && op.colour == colour) found.emplace_back(op.x1, op.y1, op.x2, op.y2);
    return found;
}

}  // namespace

// The grid is padded around the footprints, starts at 0 unless the low pad reaches 20 MB, and
// labels five lines from top to bottom.
TEST(TrendScale, StepTopAndBottomFollowThePaddedFootprints) {
    const struct { const char* name; SampleHistory history; int step; float top, bottom; } cases[] = {
        {"no footprint yet", HistoryOf(10, [](int) { return 0.0f; }), 25, 125, 0},
        {"all 80", HistoryOf(300, [](int) { return 80.0f; }), 25, 100, 70},
        {"minPad 19.9 keeps the bottom at 0", HistoryOf(2, [](int i) { return i ? 30.0f : 22.111111f; }), 5, 35, 0},
        {"minPad 20.7 rounds down to 20", HistoryOf(2, [](int i) { return i ? 30.0f : 23.0f; }), 5, 35, 20},
        {"large", HistoryOf(3, [](int i) { return 500.0f + 100.0f * i; }), 100, 800, 450},
    };
    for (const auto& c : cases) {
        const TrendScale scale = ComputeTrendScale(c.history);
        EXPECT_EQ(std::tuple(scale.step, scale.top, scale.bottom, scale.range),
                  std::tuple(c.step, c.top, c.bottom, c.top - c.bottom)) << c.name;
    }
    EXPECT_EQ(Labels(ComputeTrendScale(cases[1].history)),
              (std::vector<Text>{u"100 MB", u"93 MB", u"85 MB", u"78 MB", u"70 MB"}));
}

// A footprint segment joins two neighbouring active slots only; the virtual size, far above the
// scale, is held at the plot's top, and a slot without one draws no virtual segment.
TEST(TrendPlan, SegmentsJoinNeighbouringActiveSlotsAndVirtualIsHeldAtTheTop) {
    LoadStringTable(u"en");
    TrendPlan plan;
    const float footprints[] = {40.0f, 42.5f, 45.0f, 0.0f, 45.0f, 40.0f};
    const SampleHistory history =
        HistoryOf(6, [&](int i) { return footprints[i]; }, [](int i) { return i == 4 ? 0.0f : 900.0f; });
    PlanTrendGraph(history, 560, 140, plan);
    const std::vector<Segment> footprint = Segments(plan, TrendFootprint), virtualSize = Segments(plan, TrendVirtual);
    ASSERT_EQ(std::tuple(footprint.size(), virtualSize.size()), std::tuple(3u, 2u));
    EXPECT_GT(std::get<0>(footprint[2]), std::get<2>(footprint[1])) << "no segment across the hole";
    EXPECT_LT(std::get<3>(footprint[1]), std::get<1>(footprint[1])) << "growth draws upwards";
    for (const Segment& s : virtualSize) EXPECT_EQ(std::tuple(std::get<1>(s), std::get<3>(s)), std::tuple(20, 20));
}
