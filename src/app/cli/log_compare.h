// quolk --compare BEFORE AFTER: two logs analysed as --analyze does, side by side, with their
// growth rates (MB/min, the leak test's robust slope) and one line that says which grows faster.
#pragma once

#include <cstdio>
#include <span>
#include <string>

#include "analysis/leak_test.h"

struct CliOptions;

// A growth rate in MB per minute and its 95 % interval.
struct GrowthRate {
    double perMinute{}, low{}, high{};
};

// The slope of the leak test's envelope when the test could measure one; else (too few samples,
// cycles too long for the run) the Theil-Sen slope of the whole series with Sen's interval.
GrowthRate RunGrowthRate(std::span<const LeakPoint> series, const LeakTestResult& leak);

enum class RateChange { Same, Slower, Faster };
// Same while the two intervals overlap, so that noise alone never makes a difference.
RateChange CompareRates(const GrowthRate& before, const GrowthRate& after);

// The conclusion line: "AFTER grows 93 % slower: 11.5 → 0.8 MB/min".
std::string ConclusionLine(const GrowthRate& before, const GrowthRate& after);

// The whole command: 0, 1 with --fail-on-regression when AFTER grows faster, 2 for a log that
// cannot be read, a plot or standard output that cannot be written.
int RunCompare(const CliOptions& options, std::FILE* out, std::FILE* err);
