#include <gtest/gtest.h>

#include <cmath>

#include "analysis/leak_test.h"
#include "analysis_test_support.h"

namespace {

// A recording every `step` s for `seconds` from 100 MB: `shape(t)` MB more, a leak of `rate` MB/s,
// and a fixed jitter of up to 0.3 MB.
std::vector<LeakPoint> Series(double seconds, double step, double rate, double (*shape)(double)) {
    std::vector<LeakPoint> series;
    for (int i = 0; i * step < seconds; ++i) {
        const double t = i * step;
        series.push_back({1.8e9 + t, 100.0 + shape(t) + rate * t + 0.3 * std::sin(i * 2.3)});
    }
    return series;
}
double Flat(double) { return 0.0; }
double Sawtooth(double t) { return std::fmod(t, 5.0) < 3.0 ? 80.0 : 0.0; }     // 80 MB held 3 s of 5
double LateSawtooth(double t) { return Sawtooth(t + 2.9); }                     // ends on a peak
double Ramp(double t) { return 60.0 * std::fmod(t, 4.0) / 4.0; }                 // a collector's ramp
double WarmUp(double t) { return 150.0 * (1.0 - std::exp(-t / 8.0)); }
double CacheFill(double t) { return 2.0 * std::min(t, 40.0); }
double TooLong(double t) { return std::fmod(t, 20.0) < 12.0 ? 50.0 : 0.0; }

}  // namespace

// Tied values take the variance's correction and the normal approximation.
TEST(LeakStatistics, MannKendallWithTies) {
    const std::vector<double> values = {1, 1, 2, 2, 3};
    const MannKendall mk = MannKendallTest(values);
    EXPECT_EQ(mk.s, 8);
    EXPECT_NEAR(mk.variance, 264.0 / 18, 1e-9);
    EXPECT_NEAR(mk.pGrowth, 0.0338, 5e-4);  // (S - 1) / sd = 1.828
}

// What rises and falls, or rises once and stops, is no leak wherever the run stops; growth that
// goes on is, also under a sawtooth; a run too short for its cycles says what would settle it.
TEST(LeakTest, OutcomesOfRecordingsThatLeakAndThatDoNot) {
    const struct { const char* name; std::vector<LeakPoint> series; const char* outcome; const char* unsettled; } cases[] = {
        {"flat", Series(60, 0.2, 0, Flat), "no_leak", ""},
        {"sawtooth", Series(120, 0.1, 0, Sawtooth), "no_leak", ""},
        {"sawtooth ending on a peak", Series(117, 0.1, 0, LateSawtooth), "no_leak", ""},
        {"collector's ramp", Series(120, 0.5, 0, Ramp), "no_leak", ""},
        {"warm-up", Series(120, 0.2, 0, WarmUp), "no_leak", ""},
        {"warm-up over most of the run", Series(30, 0.2, 0, WarmUp), "no_leak", ""},
        {"cache that fills and holds", Series(120, 0.5, 0, CacheFill), "no_leak", ""},
        {"1 MB/s", Series(60, 0.2, 1.0, Flat), "leak", ""},
        {"0.5 MB/s under a sawtooth", Series(120, 0.1, 0.5, Sawtooth), "leak", ""},
        {"2 s", Series(2, 0.1, 5.0, Flat), "inconclusive", "too_few_samples"},
        {"20 s cycles in 30 s", Series(30, 0.1, 0, TooLong), "inconclusive", "cycles_too_long"},
    };
    for (const auto& c : cases) {
        const LeakTestResult r = RunLeakTest(c.series);
        EXPECT_STREQ(LeakOutcomeName(r.outcome), c.outcome) << c.name;
        EXPECT_STREQ(LeakUnsettledName(r.unsettled), c.unsettled) << c.name;
        if (r.outcome == LeakOutcome::Inconclusive) {
            EXPECT_GT(r.settleSeconds, c.series.back().seconds - 1.8e9) << c.name;
        } else {
            EXPECT_TRUE(r.slopeLowMBps <= r.slopeMBps && r.slopeMBps <= r.slopeHighMBps) << c.name;
        }
    }
    const LeakTestResult steady = RunLeakTest(cases[7].series);
    EXPECT_TRUE(steady.slopeLowMBps < 1.0 && steady.slopeHighMBps > 1.0);
    EXPECT_NEAR(MBpsToBytesPerSecond(steady.slopeMBps), 1048576.0, 2e4);
}

// Readings of one second spread across it; the last second's from its start at the interval the
// fullest second shows, as a recording that stopped there took them.
TEST(LeakTest, HistorySpreadsTheReadingsOfOneSecondAcrossIt) {
    const SampleHistory history =
        analysis_test::HistoryOf({{100, 5.0f}, {100, 6.0f}, {100, 0.0f}, {100, 7.0f}, {101, 8.0f}, {102, 9.0f}, {102, 9.5f}});
    const double times[] = {100 + 1 / 6.0, 100.5, 100 + 5 / 6.0, 101.5, 102 + 1 / 6.0, 102.5};
    const std::vector<LeakPoint> series = LeakSeries(history);
    ASSERT_EQ(series.size(), 6u);  // the empty reading is no reading
    for (size_t i = 0; i < series.size(); ++i) EXPECT_DOUBLE_EQ(series[i].seconds, times[i]) << i;
    EXPECT_EQ(series[2].footprintMB, 7.0);
}
