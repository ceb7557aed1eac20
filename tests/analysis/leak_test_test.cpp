#include <gtest/gtest.h>

#include <string>

#include "analysis/leak_test.h"
#include "analysis_test_support.h"
#include "leak_corpus.h"

using namespace leak_corpus;

TEST(LeakStatistics, MannKendallExactWithoutTiesAndCorrectedWithThem) {
    const struct { std::vector<double> values; int64_t s; double variance, p; } cases[] = {
        {{1, 2, 3, 4, 5}, 10, 300.0 / 18, 1.0 / 120},  // the one order of 120 with S = 10
        {{1, 3, 2, 4}, 4, 156.0 / 18, 4.0 / 24},       // at most one inversion: 4 orders of 24
        {{5, 4, 3, 2, 1}, -10, 300.0 / 18, 1.0},
        {{1, 1, 2, 2, 3}, 8, 264.0 / 18, 0.0338},      // normal, (S - 1) / sd = 1.828
        {{7, 7, 7}, 0, 0.0, 1.0}};
    for (const auto& c : cases) {
        const MannKendall mk = MannKendallTest(c.values);
        EXPECT_EQ(mk.s, c.s);
        EXPECT_NEAR(mk.variance, c.variance, 1e-9);
        EXPECT_NEAR(mk.pGrowth, c.p, 5e-4) << c.s;
    }
}

TEST(LeakStatistics, TheilSenIgnoresAnOutlierAndBracketsItsSlope) {
    std::vector<LeakPoint> points;
    for (int i = 0; i < 10; ++i) points.push_back({double(i), i == 9 ? 100.0 : 2.0 * i + 5});
    const TheilSen ts = TheilSenSlope(points, 125.0);  // 36 of 45 slopes are 2; ranks 12 and 34
    EXPECT_DOUBLE_EQ(ts.slope, 2.0);
    EXPECT_DOUBLE_EQ(ts.low, 2.0);
    EXPECT_DOUBLE_EQ(ts.high, 2.0);
    const double noise[] = {0.3, -0.4, 0.1, 0.5, -0.2, -0.5, 0.4, 0.0, -0.3, 0.2};
    for (int i = 0; i < 10; ++i) points[size_t(i)].footprintMB = 2.0 * i + 5 + noise[i];
    const TheilSen noisy = TheilSenSlope(points, 125.0);
    EXPECT_LT(noisy.low, 2.0);
    EXPECT_GT(noisy.high, 2.0);
}

TEST(LeakTest, ResultsNameTheirReasonAndFigures) {
    const struct { const char* name; Case c; const char* outcome; const char* unsettled; } cases[] = {
        {"2 s", {Shape::SteadyLeak, 2, 0.1, 0, 0, 5, 11, false}, "inconclusive", "too_few_samples"},
        {"20 s cycles in 30 s", {Shape::Sawtooth, 30, 0.1, 20, 0.3, 0, 12, true}, "inconclusive", "cycles_too_long"},
        {"1 MB/s", {Shape::SteadyLeak, 60, 0.2, 0, 0, 1, 13, true}, "leak", ""},
        {"flat", {Shape::Flat, 60, 0.2, 0, 0, 0, 14, true}, "no_leak", ""},
        {"warm-up", {Shape::WarmUp, 60, 0.2, 0, 0, 0, 15, true}, "no_leak", ""}};
    for (const auto& c : cases) {
        const LeakTestResult r = RunLeakTest(Series(c.c));
        EXPECT_STREQ(LeakOutcomeName(r.outcome), c.outcome) << c.name;
        EXPECT_STREQ(LeakUnsettledName(r.unsettled), c.unsettled) << c.name;
        if (r.outcome == LeakOutcome::Inconclusive) {
            EXPECT_GT(r.settleSeconds, c.c.durationSec) << c.name;
        } else {
            EXPECT_LE(r.slopeLowMBps, r.slopeMBps) << c.name;
            EXPECT_GE(r.slopeHighMBps, r.slopeMBps) << c.name;
            EXPECT_EQ(r.pValue < 0.001, r.outcome == LeakOutcome::Leak) << c.name;
        }
        if (c.c.leakMBps == 1) {
            EXPECT_LT(r.slopeLowMBps, 1.0);
            EXPECT_GT(r.slopeHighMBps, 1.0);
            EXPECT_NEAR(MBpsToBytesPerSecond(r.slopeMBps), 1048576.0, 1e5);
        }
    }
}

TEST(LeakTest, HistorySpreadsTheReadingsOfOneSecondAcrossIt) {
    const SampleHistory history =
        analysis_test::HistoryOf({{100, 5.0f}, {100, 6.0f}, {100, 0.0f}, {100, 7.0f}, {101, 8.0f}, {102, 9.0f}, {102, 9.5f}});
    const double times[] = {100 + 1 / 6.0, 100.5, 100 + 5 / 6.0, 101.5, 102.25, 102.75};
    const std::vector<LeakPoint> series = LeakSeries(history);
    ASSERT_EQ(series.size(), 6u);  // the empty reading is no reading
    for (size_t i = 0; i < series.size(); ++i) EXPECT_DOUBLE_EQ(series[i].seconds, times[i]) << i;
    EXPECT_EQ(series[2].footprintMB, 7.0);
}

// The goal: no leak for any series of 30 s or more that does not leak, and at least 95 % of the
// leaks of 1 MB/s (or 5 % of the footprint a minute) over 30 s or more caught.
TEST(LeakTest, CorpusHasNoFalseAlarmAndCatchesTheLeaks) {
    int falseAlarms = 0, mustDetect = 0, caught = 0;
    std::string missed;
    for (const Case& c : Corpus()) {
        const LeakTestResult r = RunLeakTest(Series(c));
        const bool leak = r.outcome == LeakOutcome::Leak;
        if (!Leaks(c.shape) && c.durationSec >= 30 && leak && ++falseAlarms <= 5)
            ADD_FAILURE() << ShapeNames[int(c.shape)] << " " << c.durationSec << " s, cycle " << c.cycleSec
                          << " s, phase " << c.phase << ", seed " << c.seed << ": growth " << r.growthMB;
        if (!MustDetect(c)) continue;
        ++mustDetect;
        caught += leak;
        if (!leak && missed.size() < 400)
            missed += std::string(ShapeNames[int(c.shape)]) + " " + std::to_string(c.leakMBps) + " MB/s " +
                      std::to_string(int(c.durationSec)) + " s: " + LeakOutcomeName(r.outcome) + "; ";
    }
    EXPECT_EQ(falseAlarms, 0);
    EXPECT_GT(mustDetect, 1000);
    EXPECT_GE(caught, mustDetect * 95 / 100) << caught << " of " << mustDetect << " caught; missed " << missed;
}
