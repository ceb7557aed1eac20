// The recorder's tick with allocation stacks: one snapshot of 10,000 distinct stacks (every
// stack's figures read under its sequence counter, one column appended to a full history of 300).
// Also the end of a recording: the top stacks ranked and the folded text of every stack.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "heap/region_writer.h"
#include "monitor/sample_history.h"
#include "stacks/heap_stacks.h"
#include "stacks/stack_symbols.h"

namespace {

constexpr int Stacks = 10000;

// A region holding Stacks distinct stacks of 20 frames, each with live bytes.
struct FilledRegion {
    HeapRegion region;
    FilledRegion() {
        std::string error;
        if (!CreateHeapRegion(region, error)) std::abort();
        ClaimRegion(region.header, getpid());
        uint64_t frames[20];
        for (int s = 0; s < Stacks; ++s) {
            for (int f = 0; f < 20; ++f) frames[f] = 0x400000 + uint64_t(s) * 64 + uint64_t(f);
            AddToStack(region.header, FindOrAddStack(region.header, frames, 20), 4096 + s, HeapCountScale, 4096);
        }
    }
    ~FilledRegion() { CloseHeapRegion(region); }
};

void BM_StackTick10000(benchmark::State& state) {
    FilledRegion filled;
    StackHistory history;
    for (int i = 0; i < HistorySlotCount; ++i) TakeStackSnapshot(history, filled.region);
    for (auto _ : state) TakeStackSnapshot(history, filled.region);
    state.counters["stacks"] = double(history.stacks.size());
}
BENCHMARK(BM_StackTick10000)->Unit(benchmark::kMicrosecond);

void BM_StackEnd10000(benchmark::State& state) {
    FilledRegion filled;
    StackHistory history;
    for (int i = 0; i < HistorySlotCount; ++i) TakeStackSnapshot(history, filled.region);
    for (auto _ : state) {
        StackSymbols symbols;
        benchmark::DoNotOptimize(TopStacksByGrowth(history, 0, HistorySlotCount - 1, 5));
        benchmark::DoNotOptimize(FoldedStacks(symbols, history, HistorySlotCount - 1));
    }
}
BENCHMARK(BM_StackEnd10000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
