// Loading logs whose lines are far longer than any row: a 100 MB file of one line, and the same
// line between a head and three rows. Time grows with the size; memory must not: the counter
// peakRssMB is the process's peak resident size after the loads.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>
#include <string>

#include "analysis/log_loader.h"
#include "scratch_dir.h"

namespace {

std::string WriteLongLineLog(const ScratchDir& dir, bool withRows) {
    const std::string path = dir.File(withRows ? "rows.csv" : "line.csv");
    std::ofstream out(path, std::ios::binary);
    if (withRows) out << "Timestamp,Virtual(MB),Footprint(MB),Delta(MB),Peak(MB),Alerts\n";
    const std::string chunk(1 << 20, '7');
    for (int i = 0; i < 100; ++i) out << chunk;
    if (withRows) out << "\n10:00:00,1,5\n10:00:01,1,6\n10:00:02,1,7\n";
    return path;
}

void BM_LoadMonitorLog_100MBLine(benchmark::State& state) {
    ScratchDir dir;
    const Text path = TextFromUtf8(WriteLongLineLog(dir, state.range(0) != 0));
    SampleHistory history;
    for (auto _ : state) benchmark::DoNotOptimize(LoadMonitorLog(path, history));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peakRssMB"] = double(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(100) << 20));
}
BENCHMARK(BM_LoadMonitorLog_100MBLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
