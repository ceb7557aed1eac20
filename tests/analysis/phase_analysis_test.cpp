// Whole reports of known footprint curves, compared character for character with the layout
// written out from the curves' figures.
#include "analysis/phase_analysis.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

// Every 2 s from 0 to 160 s: 100 MB to 60 s, 50/15 MB more per sample to 150 MB at 90 s, 4.9 MB
// less per sample to 101 MB at 110 s, then 101 MB to the end.
const Points WorkedExample = Sampled(81, 2, [](int k) {
    return k <= 30 ? 100.0 : k <= 45 ? 100.0 + (k - 30) * (50.0 / 15.0) : k <= 55 ? 150.0 - (k - 45) * 4.9 : 101.0;
});
// 0.5 MB more every 2 s from 100 MB, 120 samples.
const Points SteadyClimb = Sampled(120, 2, [](int k) { return 100.0 + 0.5 * k; });
// Every 2 s: 15 samples at 100 MB, then three cycles of 8 samples rising by 5 MB, 8 falling by
// 4.5 MB and 10 resting at the new floor, 4 MB above the last one.
const Points StairSteps = Sampled(93, 2, [](int k) {
    int c = (k - 15) / 26, r = (k - 15) % 26;
    double base = 100.0 + 4 * c;
    return k < 15 ? 100.0 : r < 8 ? base + 5 * (r + 1) : r < 16 ? base + 40 - 4.5 * (r - 7) : base + 4;
});

using AnalysisReport = EnglishTest;

// The whole report of one run, every part of it in place; the other verdicts' reports are the same
// parts with the figures the next test checks and the evidence the verdict's test checks.
TEST_F(AnalysisReport, AKnownCurveGivesItsCompleteReport) {
    const Text report = RunPhaseAnalysis(HistoryOf(WorkedExample));
    EXPECT_EQ(report, Report({Flat(WarmUp, u"0s", u"22s", u"100.0"), Flat(Baseline, u"22s", u"58s", u"100.0"),
                              Row(Spike, u"58s", u"90s", u"100.0 → 147.3 MB", u"+47.3 MB", u"+1.48 MB/s"),
                              Row(Release, u"90s", u"116s", u"147.3 → 101.0 MB", u"-46.3 MB", u"-1.78 MB/s"),
                              Flat(Flatline, u"116s", u"160s", u"101.0")},
                             WarmUpLine + u"100.0 MB.\r\n" + RecoveryLine(u"1", u"46.3") + Healthy(u"98", u"101.0", u"46.3")))
        << Shown(report);
    // Slots stamped with dates are shown by their time of day, others in seconds from the first.
    const DateValue date = 1796479407;  // 2026-12-05 14:03:27
    EXPECT_NE(RunPhaseAnalysis(HistoryOf({{date, 64}, {date + 1, 64}, {date + 2, 64}})).find(u"(14:03:28–14:03:29)"), Text::npos);
    EXPECT_NE(RunPhaseAnalysis(HistoryOf({{7000, 50}, {7001, 50}, {7002, 50}})).find(u"(1s–2s)"), Text::npos);
}

// The analysis as data: the verdict's machine name and the figures the report writes, for curves of every verdict.
TEST_F(AnalysisReport, TheDataBehindTheReportNamesItsVerdictAndFigures) {
    auto at = [](double mb) { return [mb](int) { return mb; }; };
    auto step = [](double after) { return [after](int k) { return k < 40 ? 50.0 : after; }; };
    struct Case {
        Points points;
        const char* name;
        int64_t rows;
        float finalMB, netGrowth;
    };
    const Case cases[] = {
        {SteadyClimb, "high_suspicion", 2, 159.5f, 51.0f},
        {StairSteps, "stair_step", 10, 112.0f, 12.0f},
        {Sampled(100, 1, step(58)), "possible_leak", 4, 58.0f, 8.0f},
        {WorkedExample, "healthy", 5, 101.0f, 1.0f},
        {Sampled(101, 1, at(80)), "no_evidence", 2, 80.0f, 0.0f},
        {{{0, 10}, {1, 11}}, "insufficient_data", 0, 0.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SampleHistory history = HistoryOf(c.points);
        PhaseAnalysis analysis = AnalyzeHistory(history);
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(AnalysisVerdictName(analysis), c.name);
        EXPECT_EQ(static_cast<int64_t>(analysis.segmentation.rows.size()), c.rows);
        EXPECT_EQ(analysis.activeSlots, static_cast<int64_t>(c.points.size()));
        EXPECT_NEAR(analysis.segmentation.finalMB, c.finalMB, 0.05);
        EXPECT_NEAR(analysis.metrics.netGrowth, c.netGrowth, 0.05);
        EXPECT_EQ(PhaseAnalysisReport(analysis), RunPhaseAnalysis(history));
    }
    EXPECT_EQ(RunPhaseAnalysis(HistoryOf({{0, 10}, {1, 0}, {2, 12}})), InsufficientData);
}

}  // namespace
}  // namespace analysis_test
