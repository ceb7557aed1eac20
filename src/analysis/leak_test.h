// The leak test: does a footprint grow for good, or does it only rise and fall? A gate that fails
// a build must not depend on where in its cycle a recording happened to stop.
//
// Why it is built this way. Trend detection in noisy, seasonal series (river flows, temperatures,
// air quality) is a settled part of statistics, and its standard tools answer our question once
// the cycles are taken out:
//
// - The lower envelope. A program that allocates and frees in cycles (a garbage collector, a
//   request loop, a cache flushed on a timer) returns to its floor once a cycle; memory that leaks
//   raises the floor. So the trend is measured on the minimum of each of k windows of the run, and
//   each window is made longer than the longest time the footprint was seen to stay up before a
//   release. Releases are found in the series itself: falls of more than six times the step noise
//   (the scaled median absolute deviation of the differences, which the few big steps do not
//   move), each timed from the last reading near the level it fell back to. Every window then
//   holds a return to the floor, wherever the run starts or stops, and one envelope point per
//   cycle keeps the points nearly independent, as the test below assumes. When the run holds too
//   few cycles for k windows the result is inconclusive, with the duration that would hold them.
// - Mann–Kendall for significance, one-sided for growth: the sign of every pair of envelope
//   points, so only their order counts, not their distribution, their scale or a few wild
//   readings. Ties (a quiet process reads the same page count again) get the usual variance
//   correction; without ties the p-value is exact (the distribution of inversions), which matters
//   for the few points of long cycles, where the normal approximation would be too timid.
// - Theil–Sen for the size: the median of the pairwise slopes, unmoved by up to 29 % of outlying
//   points, with Sen's distribution-free confidence interval from the same Mann–Kendall variance.
// - Practical significance: a tiny but steady drift is statistically certain over a long run and
//   still no leak worth failing a build for, so the growth the slope implies over the run must
//   exceed both a few MB and a share of the peak.
// - Sustained, not a level shift: a warm-up, a cache that fills then holds, memory that stays
//   resident after one peak all rise in one part of the run and stop. The envelope's two halves
//   must each grow (their own Theil–Sen slopes, with the lower end of a one-sided 95 % Sen
//   interval above zero where a half has points enough for one), each at a rate that reaches the
//   minimum growth over the run, and the later half at least a quarter as fast as the earlier.
//
// Cost: O(n) to clean the series and cut it into windows (a long one is first reduced to 2048
// block minima, which keeps every trough), O(n) for the release search, and O(k² log k) for the
// pairs of at most 40 envelope points.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "monitor/sample_history.h"

// One reading: seconds from any origin, footprint in MB (1048576 bytes).
struct LeakPoint {
    double seconds{};
    double footprintMB{};
};

enum class LeakOutcome { Leak, NoLeak, Inconclusive };
// Why a result is inconclusive.
enum class LeakUnsettled { None, TooFewSamples, CyclesTooLong };

struct LeakTestSettings {
    double alpha{0.001};            // one-sided Mann–Kendall significance
    double minGrowthMB{2.0};        // the growth over the run a leak must reach ...
    double minGrowthShare{0.01};    // ... and this share of the peak
    int64_t minWindows{7};          // envelope points needed for a judgement
    int64_t maxWindows{40};
    int64_t minSamples{21};
    bool zerosAreReadings{};        // a live heap can be empty; a footprint of 0 was not read
};

struct LeakTestResult {
    LeakOutcome outcome{LeakOutcome::Inconclusive};
    LeakUnsettled unsettled{LeakUnsettled::TooFewSamples};
    double settleSeconds{};  // inconclusive: the length of a run that would settle it
    int64_t samples{};       // readings used
    double durationSec{};
    double cycleSec{};       // the longest time the footprint stayed up before a release; 0: none
    int64_t windows{};       // envelope points the trend was measured on
    double slopeMBps{};      // Theil–Sen slope of the envelope, MB per second ...
    double slopeLowMBps{};   // ... and its 95 % confidence interval
    double slopeHighMBps{};
    double earlySlopeMBps{}; // Theil–Sen slopes of the envelope's two halves
    double lateSlopeMBps{};
    double pValue{1.0};      // one-sided Mann–Kendall p-value for growth
    double growthMB{};       // slope × duration
    double minGrowthMB{};    // the growth a leak must reach in this run
    double peakMB{};
    std::vector<LeakPoint> envelope;  // the window minima the trend was measured on
};

LeakTestResult RunLeakTest(std::span<const LeakPoint> series, const LeakTestSettings& settings = {});

// A history's active slots as a series. Its time stamps are whole seconds: readings that share
// one are spread evenly across that second. `slotMB`, when given, holds a figure per slot to test
// in place of the footprint (the sampled live heap).
std::vector<LeakPoint> LeakSeries(const SampleHistory& history, std::span<const double> slotMB = {});

// "leak", "no_leak", "inconclusive".
const char* LeakOutcomeName(LeakOutcome outcome);
// "", "too_few_samples", "cycles_too_long".
const char* LeakUnsettledName(LeakUnsettled unsettled);
inline double MBpsToBytesPerSecond(double mbPerSecond) { return mbPerSecond * 1048576.0; }

// --- The statistics, on their own -----------------------------------------------------------

struct MannKendall {
    int64_t s{};         // concordant minus discordant pairs
    double variance{};   // of s under no trend, corrected for ties
    double pGrowth{1.0}; // one-sided p-value for an increasing trend
};
// Values in time order.
MannKendall MannKendallTest(std::span<const double> values);

struct TheilSen {
    double slope{}, low{}, high{};  // the median pairwise slope and Sen's interval
};
// Points in time order; the interval at the two-sided level of `z` standard deviations of s.
TheilSen TheilSenSlope(std::span<const LeakPoint> points, double sVariance, double z = 1.959964);
