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

TEST(TrendScale, StepTopAndBottomFollowThePaddedFootprints) {
    const struct {
        const char* name;
        SampleHistory history;
        int step;
        float top, bottom;
        std::vector<Text> labels;
    } cases[] = {
        {"no footprint yet", HistoryOf(10, [](int) { return 0.0f; }), 25, 125, 0,
         {u"125 MB", u"94 MB", u"63 MB", u"31 MB", u"0 MB"}},
        {"all 80", HistoryOf(300, [](int) { return 80.0f; }), 25, 100, 70,
         {u"100 MB", u"93 MB", u"85 MB", u"78 MB", u"70 MB"}},
        {"40 and 45", HistoryOf(2, [](int i) { return i ? 45.0f : 40.0f; }), 5, 50, 30,
         {u"50 MB", u"45 MB", u"40 MB", u"35 MB", u"30 MB"}},
        // minPad 19.9 (just below 20) keeps the bottom at 0; minPad 20.7 rounds down to 20.
        {"minPad below 20", HistoryOf(2, [](int i) { return i ? 30.0f : 22.111111f; }), 5, 35, 0, {}},
        {"minPad above 20", HistoryOf(2, [](int i) { return i ? 30.0f : 23.0f; }), 5, 35, 20, {}},
        {"large", HistoryOf(3, [](int i) { return 500.0f + 100.0f * i; }), 100, 800, 450, {}},
        {"one value", HistoryOf(1, [](int) { return 40.0f; }), 25, 75, 30, {}},
    };
    for (const auto& c : cases) {
        const TrendScale scale = ComputeTrendScale(c.history);
        EXPECT_EQ(scale.step, c.step) << c.name;
        EXPECT_EQ(scale.top, c.top) << c.name;
        EXPECT_EQ(scale.bottom, c.bottom) << c.name;
        EXPECT_EQ(scale.range, c.top - c.bottom) << c.name;
        if (!c.labels.empty()) {
            EXPECT_EQ(Labels(scale), c.labels) << c.name;
        }
    }
    EXPECT_EQ(ComputeTrendScale(HistoryOf(2, [](int i) { return i ? 30.0f : 22.111111f; })).minPad, 19.9f);
}

TEST(TrendPlan, SegmentsJoinNeighbouringActiveSlotsAndVirtualIsHeldAtTheTop) {
    LoadStringTable(u"en");
    TrendPlan plan;
    // 40 → 45 MB over three slots, a hole at slot 3, then slot 4 and 5 again; virtual far above.
    const float footprints[] = {40.0f, 42.5f, 45.0f, 0.0f, 45.0f, 40.0f};
    const SampleHistory history =
        HistoryOf(6, [&](int i) { return footprints[i]; }, [](int i) { return i == 4 ? 0.0f : 900.0f; });
    PlanTrendGraph(history, 560, 140, plan);
    // Scale 30..50 over a 95-pixel plot from y 20 to 115; the slot step is 370 / 299.
    EXPECT_EQ(Segments(plan, TrendFootprint),
              (std::vector<Segment>{{65, 68, 66, 56}, {66, 56, 67, 44}, {70, 44, 71, 68}}));
    // Slot 4 has no virtual size, so the pair of slots 4 and 5 draws no virtual segment.
    EXPECT_EQ(Segments(plan, TrendVirtual), (std::vector<Segment>{{65, 20, 66, 20}, {66, 20, 67, 20}}));
}
