// Whole reports of known footprint curves, compared character for character with the layout
// written out from the curves' figures.
#include "analysis/phase_analysis.h"
#include "analysis/phase_segmentation.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

// Samples every 2 s from 0 to 160 s: 100 MB to 60 s, 50/15 MB more per sample to 150 MB at 90 s,
// 4.9 MB less per sample to 101 MB at 110 s, then 101 MB to the end.
Points WorkedExample() {
    Points points;
    for (int64_t t = 0; t <= 160; t += 2) {
        double mb = 100.0;
        if (t > 60 && t <= 90) mb = 100.0 + (t - 60) / 2 * (50.0 / 15.0);
        if (t > 90 && t <= 110) mb = 150.0 - (t - 90) / 2 * 4.9;
        if (t > 110) mb = 101.0;
        points.push_back({t, static_cast<float>(mb)});
    }
    return points;
}

// 0.5 MB more every 2 s from 100 MB, 120 samples.
Points SteadyClimb() {
    Points points;
    for (int64_t k = 0; k < 120; ++k) points.push_back({2 * k, 100.0f + 0.5f * k});
    return points;
}

// Every 2 s: 15 samples at 100 MB, then three cycles of 8 samples rising by 5 MB, 8 falling by
// 4.5 MB and 10 resting at the new floor, 4 MB above the last one.
Points StairStep() {
    Points points;
    int64_t t = 0;
    float floor = 100.0f;
    for (int k = 0; k < 15; ++k, t += 2) points.push_back({t, floor});
    for (int cycle = 0; cycle < 3; ++cycle) {
        float mb = floor;
        for (int k = 0; k < 8; ++k, t += 2) points.push_back({t, mb += 5.0f});
        for (int k = 0; k < 8; ++k, t += 2) points.push_back({t, mb -= 4.5f});
        floor = mb;
        for (int k = 0; k < 10; ++k, t += 2) points.push_back({t, floor});
    }
    return points;
}

Points Constant(int64_t duration, int64_t step, float mb) {
    Points points;
    for (int64_t t = 0; t <= duration; t += step) points.push_back({t, mb});
    return points;
}

Text NoEvidence(const Text& net, const Text& settled, const Text& closing) {
    return NoEvidenceHeadline + u"\r\n\r\n" + u"• Evidence that net memory delta settled cleanly at " + net +
           u" relative to settled baseline (" + settled + u" MB).\r\n" + u"• " + closing + u"\r\n";
}

using AnalysisReport = EnglishTest;

TEST_F(AnalysisReport, WarmUpBaselineSpikeReleaseAndFlatlineOfTheWorkedExample) {
    SampleHistory history = HistoryOf(WorkedExample());
    SegmentationResult result;
    ASSERT_TRUE(SegmentHistory(history, result));
    EXPECT_EQ(result.releaseCount, 1);
    EXPECT_EQ(StrF(result.reclaimedMB, 1), u"46.3");
    EXPECT_EQ(result.lowestFloorMB, 101.0f);
    EXPECT_EQ(result.lastFloorMB, 101.0f);
    EXPECT_EQ(StrF(result.peakMB, 1), u"147.3");
    EXPECT_EQ(result.settledReference, 100.0f);
    EXPECT_EQ(result.finalKind, PhaseKind::Flatline);

    Text expected = Report(
        {Row(WarmUpName, u"0s", u"22s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
         Row(BaselineName, u"22s", u"58s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", BaselineNote),
         Row(SpikeName, u"58s", u"90s", u"100.0 → 147.3 MB", u"+47.3 MB", u"+1.48 MB/s", SpikeNote),
         Row(ReleaseName, u"90s", u"116s", u"147.3 → 101.0 MB", u"-46.3 MB", u"-1.78 MB/s", ReleaseNote),
         Row(FlatlineName, u"116s", u"160s", u"101.0 MB", u"0.0 MB", u"0.00 MB/s", FlatlineNote)},
        WarmUpLine + u"100.0 MB.\r\n" + RecoveryLine(u"1", u"46.3") + HealthyHeadline + u"\r\n\r\n" +
            u"• Evidence of reclaimed 98% of peak allocation back down near baseline (101.0 MB).\r\n"
            u"• Evidence of active Garbage Collection / buffer releases observed (46.3 MB freed).\r\n");
    Text report = RunPhaseAnalysis(history);
    EXPECT_EQ(report, expected) << Shown(report);

    // The analysis reads the history and leaves it as it was.
    SampleHistory again = HistoryOf(WorkedExample());
    for (int64_t i = 0; i < HistorySlotCount; ++i) EXPECT_EQ(history.slots[i].footprintMB, again.slots[i].footprintMB);
}

TEST_F(AnalysisReport, SteadyClimbIsOneSpikeAfterTheWarmUpAndHighSuspicion) {
    Text expected = Report(
        {Row(WarmUpName, u"0s", u"34s", u"100.0 → 108.5 MB", u"+8.5 MB", u"+0.25 MB/s", WarmUpNote),
         Row(SpikeName, u"34s", u"238s", u"108.5 → 159.5 MB", u"+51.0 MB", u"+0.25 MB/s", FinalSpikeNote)},
        WarmUpLine + u"108.5 MB.\r\n" + HighSuspicionHeadline + u"\r\n\r\n" +
            u"• Evidence of continuous growth with net increase of +51.0 MB past warm-up baseline.\r\n"
            u"• Evidence of zero post-allocation cleanup or GC release phases were detected.\r\n"
            u"• Evidence that memory peaked at 159.5 MB and retained 100% of allocated buffers.\r\n");
    Text report = RunPhaseAnalysis(HistoryOf(SteadyClimb()));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, RisingReleaseFloorsAreAStairStepLeak) {
    std::vector<Text> rows = {Row(WarmUpName, u"0s", u"26s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote)};
    const char16_t* times[3][4] = {{u"26s", u"44s", u"66s", u"78s"},
                                   {u"78s", u"96s", u"118s", u"130s"},
                                   {u"130s", u"148s", u"170s", u"184s"}};
    const char16_t* floors[4] = {u"100.0", u"104.0", u"108.0", u"112.0"};
    const char16_t* peaks[3] = {u"136.8", u"140.8", u"144.8"};
    for (int c = 0; c < 3; ++c) {
        Text floor = floors[c], peak = peaks[c], next = floors[c + 1];
        rows.push_back(Row(SpikeName, times[c][0], times[c][1], floor + u" → " + peak + u" MB", u"+36.8 MB",
                           u"+2.05 MB/s", SpikeNote));
        rows.push_back(Row(ReleaseName, times[c][1], times[c][2], peak + u" → " + next + u" MB", u"-32.8 MB",
                           u"-1.49 MB/s", ReleaseNote));
        rows.push_back(Row(FlatlineName, times[c][2], times[c][3], next + u" MB", u"0.0 MB", u"0.00 MB/s",
                           FlatlineNote));
    }
    Text expected = Report(
        rows, WarmUpLine + u"100.0 MB.\r\n" + RecoveryLine(u"3", u"98.5") + StairStepHeadline + u"\r\n\r\n" +
                  u"• Evidence that Garbage Collection is triggering, but post-GC memory floor drifted +12.0 MB "
                  u"relative to baseline.\r\n"
                  u"• Evidence of trough-to-trough accumulation escalated by +8.0 MB across 3 recovery cycles.\r\n"
                  u"• Evidence of unfreed references or uncollected heap buffers are lingering across tasks.\r\n");
    Text report = RunPhaseAnalysis(HistoryOf(StairStep()));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, ThreeSlotsASecondApartAreWarmUpThenBaseline) {
    // Relative times count from the first active slot, wherever the clock started.
    Text expected = Report({Row(WarmUpName, u"0s", u"1s", u"50.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
                            Row(BaselineName, u"1s", u"2s", u"50.0 MB", u"0.0 MB", u"0.00 MB/s", BaselineNote)},
                           WarmUpLine + u"50.0 MB.\r\n" + NoEvidence(u"0.0 MB", u"50.0", FlatlineClosing));
    Text report = RunPhaseAnalysis(HistoryOf({{7000, 50.0f}, {7001, 50.0f}, {7002, 50.0f}}));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, WarmUpWindowIsFifteenPercentBetweenTenAndOneHundredTwentySeconds) {
    struct Case {
        const char* name;
        Points points;
        Text warmUpEnd;
        Text sessionEnd;
    };
    Case cases[] = {
        {"2000 s session: 120 s", Constant(2000, 10, 80.0f), u"110s", u"2000s"},
        {"100 s session: 15 s", Constant(100, 1, 80.0f), u"14s", u"100s"},
        {"40 s session: at least 10 s", Constant(40, 1, 80.0f), u"9s", u"40s"},
        // 22.5 s: the end of the warm-up rounds to 22 (half to even), so the stamp of 22 s opens it.
        {"150 s session: 22.5 s", Constant(150, 1, 80.0f), u"21s", u"150s"},
    };
    for (const Case& c : cases) {
        Text expected = Report(
            {Row(WarmUpName, u"0s", c.warmUpEnd, u"80.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
             Row(BaselineName, c.warmUpEnd, c.sessionEnd, u"80.0 MB", u"0.0 MB", u"0.00 MB/s", BaselineNote)},
            WarmUpLine + u"80.0 MB.\r\n" + NoEvidence(u"0.0 MB", u"80.0", FlatlineClosing));
        Text report = RunPhaseAnalysis(HistoryOf(c.points));
        EXPECT_EQ(report, expected) << c.name << "\n" << Shown(report);
    }
}

TEST_F(AnalysisReport, TheFinalPhaseIsNamedByItsOverallChange) {
    // 30 s at 100 MB and a last sample lower: the fall starts a release at the slot before it.
    Points smallFall = Constant(29, 1, 100.0f), largeFall = Constant(29, 1, 100.0f);
    smallFall.push_back({30, 99.0f});
    largeFall.push_back({30, 97.0f});

    // 0.7 MB down is not enough for a release: the final phase is a flatline.
    Text expected = Report(
        {Row(WarmUpName, u"0s", u"9s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
         Row(BaselineName, u"9s", u"29s", u"100.0 → 99.7 MB", u"-0.3 MB", u"-0.02 MB/s", BaselineNote),
         Row(FlatlineName, u"29s", u"30s", u"99.7 → 99.0 MB", u"-0.7 MB", u"-0.67 MB/s", FlatlineNote)},
        WarmUpLine + u"99.7 MB.\r\n" + NoEvidence(u"-0.7 MB", u"99.7", FlatlineClosing));
    Text report = RunPhaseAnalysis(HistoryOf(smallFall));
    EXPECT_EQ(report, expected) << Shown(report);

    // 3 MB down from the peak: a final release, counted, and the reference it lowers.
    expected = Report(
        {Row(WarmUpName, u"0s", u"9s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
         Row(BaselineName, u"9s", u"28s", u"100.0 MB", u"0.0 MB", u"0.00 MB/s", BaselineNote),
         Row(ReleaseName, u"28s", u"30s", u"100.0 → 97.0 MB", u"-3.0 MB", u"-1.50 MB/s", ReleaseNote)},
        WarmUpLine + u"97.0 MB.\r\n" + RecoveryLine(u"1", u"3.0") + HealthyHeadline + u"\r\n\r\n" +
            u"• Evidence of reclaimed 100% of peak allocation back down near baseline (97.0 MB).\r\n"
            u"• Evidence of active Garbage Collection / buffer releases observed (3.0 MB freed).\r\n");
    report = RunPhaseAnalysis(HistoryOf(largeFall));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, SpansBeyondOneHundredThousandAreMilliseconds) {
    // 150 samples one second (1000 units) apart: 200 MB, then 1 MB more per sample from the 102nd.
    Points points;
    for (int64_t k = 0; k < 150; ++k) points.push_back({1000 * k, k <= 100 ? 200.0f : 200.0f + (k - 100)});
    Text expected = Report(
        {Row(WarmUpName, u"0s", u"22000s", u"200.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
         Row(BaselineName, u"22000s", u"101000s", u"200.0 → 201.0 MB", u"+1.0 MB", u"+0.01 MB/s", BaselineNote),
         Row(SpikeName, u"101000s", u"149000s", u"201.0 → 249.0 MB", u"+48.0 MB", u"+1.00 MB/s", FinalSpikeNote)},
        WarmUpLine + u"201.0 MB.\r\n" + HighSuspicionHeadline + u"\r\n\r\n" +
            u"• Evidence of continuous growth with net increase of +48.0 MB past warm-up baseline.\r\n"
            u"• Evidence of zero post-allocation cleanup or GC release phases were detected.\r\n"
            u"• Evidence that memory peaked at 249.0 MB and retained 100% of allocated buffers.\r\n");
    Text report = RunPhaseAnalysis(HistoryOf(points));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, DateStampsShowClockTimes) {
    const DateValue start = 1796479407;  // 2026-12-05 14:03:27
    Text report = RunPhaseAnalysis(HistoryOf({{start, 64.0f}, {start + 1, 64.0f}, {start + 2, 64.0f}}));
    Text expected = Report(
        {Row(WarmUpName, u"14:03:27", u"14:03:28", u"64.0 MB", u"0.0 MB", u"0.00 MB/s", WarmUpNote),
         Row(BaselineName, u"14:03:28", u"14:03:29", u"64.0 MB", u"0.0 MB", u"0.00 MB/s", BaselineNote)},
        WarmUpLine + u"64.0 MB.\r\n" + NoEvidence(u"0.0 MB", u"64.0", FlatlineClosing));
    EXPECT_EQ(report, expected) << Shown(report);
}

TEST_F(AnalysisReport, FewerThanThreeActiveSlotsGiveTheInsufficientDataTextAlone) {
    struct Case {
        const char* name;
        SampleHistory history;
    };
    SampleHistory twoAmongZeros = HistoryOf({{0, 0.0f}, {1, 10.0f}, {2, 0.0f}, {3, 12.0f}, {4, -3.0f}});
    Case cases[] = {
        {"empty history", SampleHistory{}},
        {"two active slots", HistoryOf({{0, 10.0f}, {1, 11.0f}})},
        {"three rows, one at 0 MB", HistoryOf({{0, 10.0f}, {1, 0.0f}, {2, 11.0f}})},
        {"zeros and negatives do not count", twoAmongZeros},
    };
    for (const Case& c : cases) EXPECT_EQ(RunPhaseAnalysis(c.history), InsufficientData) << c.name;
}

TEST_F(AnalysisReport, TheApplicationHistoryIsAnalysedByTheShortForm) {
    SampleHistory& app = AppSampleHistory();
    ClearHistory(app);
    for (const auto& [t, mb] : SteadyClimb()) AppendHistoryPoint(app, t, mb, 0.0f);
    EXPECT_EQ(RunPhaseAnalysis(), RunPhaseAnalysis(HistoryOf(SteadyClimb())));
    ClearHistory(app);
    EXPECT_EQ(RunPhaseAnalysis(), InsufficientData);
}

}  // namespace
}  // namespace analysis_test
