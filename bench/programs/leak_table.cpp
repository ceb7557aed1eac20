// The leak test measured. Without arguments: its confusion table over the synthetic corpus, by
// behaviour and duration, in Markdown for the README. With CSV monitor logs as arguments: the
// leak test of each log (its first 300 rows, as --analyze reads it), one line each.
#include <cstdio>
#include <string>

#include "leak_corpus.h"
#include "analysis/leak_test.h"
#include "analysis/log_loader.h"

using namespace leak_corpus;

namespace {

int Logs(int count, char** paths) {
    int status = 0;
    for (int i = 0; i < count; ++i) {
        SampleHistory history;
        if (LoadMonitorLog(TextFromUtf8(paths[i]), history) != LogLoadResult::Loaded) {
            std::printf("%s: not a monitor log\n", paths[i]);
            status = 2;
            continue;
        }
        const LeakTestResult r = RunLeakTest(LeakSeries(history));
        std::printf("%s: %s%s%s  slope %.3f MB/s [%.3f, %.3f] (%.0f B/s)  p %.2g  growth %.1f MB (needs %.1f)  "
                    "late %.3f MB/s  cycle %.1f s  %lld windows  %lld samples, %.1f s",
                    paths[i], LeakOutcomeName(r.outcome), r.unsettled == LeakUnsettled::None ? "" : " ",
                    LeakUnsettledName(r.unsettled), r.slopeMBps, r.slopeLowMBps, r.slopeHighMBps,
                    MBpsToBytesPerSecond(r.slopeMBps), r.pValue, r.growthMB, r.minGrowthMB, r.lateSlopeMBps,
                    r.cycleSec, (long long)r.windows, (long long)r.samples, r.durationSec);
        if (r.settleSeconds > 0) std::printf("  settled by %.0f s", r.settleSeconds);
        std::printf("\n");
    }
    return status;
}

constexpr double Durations[] = {10, 30, 60, 120, 300, 600};
constexpr int DurationCount = 6, RowCount = 12;

// Rows: the behaviours, each leak split into the ones the goal covers and slower ones.
int Row(const Case& c) {
    if (!Leaks(c.shape)) return int(c.shape);
    const int leak = int(c.shape) - int(Shape::SteadyLeak);
    return int(Shape::SteadyLeak) + 2 * leak + (AtGoalRate(c) ? 0 : 1);
}

int Table() {
    int cells[RowCount][DurationCount][3] = {};
    for (const Case& c : Corpus()) {
        int d = 0;
        while (Durations[d] < c.durationSec) ++d;
        ++cells[Row(c)][d][int(RunLeakTest(Series(c)).outcome)];
    }
    std::printf("| behaviour |");
    for (double d : Durations) std::printf(" %.0f s |", d);
    std::printf("\n|---|");
    for (int d = 0; d < DurationCount; ++d) std::printf("---|");
    std::printf("\n");
    for (int row = 0; row < RowCount; ++row) {
        const int shape = row < int(Shape::SteadyLeak) ? row : int(Shape::SteadyLeak) + (row - int(Shape::SteadyLeak)) / 2;
        const bool slow = row >= int(Shape::SteadyLeak) && (row - int(Shape::SteadyLeak)) % 2 == 1;
        std::printf("| %s%s |", ShapeNames[shape], row < int(Shape::SteadyLeak) ? "" : slow ? ", slower" : ", ≥ goal");
        for (int d = 0; d < DurationCount; ++d)
            std::printf(" %d / %d / %d |", cells[row][d][0], cells[row][d][1], cells[row][d][2]);
        std::printf("\n");
    }
    std::printf("\nEach cell: leak / no_leak / inconclusive.\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return argc > 1 ? Logs(argc - 1, argv + 1) : Table(); }
