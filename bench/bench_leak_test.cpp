// The leak test over the series it meets: a recording's 300 samples, ten minutes at 100 ms, and
// the hour a long-running watch keeps at 100 ms, each a leak under a 2 s sawtooth with noise.
#include <benchmark/benchmark.h>

#include "leak_corpus.h"
#include "analysis/leak_test.h"

namespace {

void BM_RunLeakTest(benchmark::State& state) {
    const double duration = double(state.range(0)) / 10.0;
    const leak_corpus::Case c{leak_corpus::Shape::SawtoothLeak, duration, duration / double(state.range(0)),
                              2.0, 0.3, 1.0, 7, false};
    const std::vector<LeakPoint> series = leak_corpus::Series(c);
    for (auto _ : state) benchmark::DoNotOptimize(RunLeakTest(series));
    state.counters["samples"] = double(series.size());
}
BENCHMARK(BM_RunLeakTest)->Arg(300)->Arg(6000)->Arg(36000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
