// The event queue's cost per event: queueing and taking, the merge check of a repeated event,
// and a posted event. No QApplication is needed: the queue itself has no Qt in it.
#include <benchmark/benchmark.h>

#include "toolkit/event_queue.h"

namespace {

// One toolkit event queued and taken: the loop's steady state.
void BM_QueueAndTakeOne(benchmark::State& state) {
    ClearEventQueue();
    int32_t code = 0;
    int64_t object = 0;
    for (auto _ : state) {
        QueueToolkitEvent(EventCodeGadget, 0, ++object, 0);
        TakeQueuedEvent(code);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(BM_QueueAndTakeOne);

// A burst of distinct events queued, then all taken: per event.
void BM_QueueBurstThenTake(benchmark::State& state) {
    ClearEventQueue();
    const int64_t burst = state.range(0);
    int32_t code = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < burst; ++i) QueueToolkitEvent(EventCodeGadget, 0, i, i & 1);
        while (TakeQueuedEvent(code)) benchmark::DoNotOptimize(code);
    }
    state.SetItemsProcessed(state.iterations() * burst);
}
BENCHMARK(BM_QueueBurstThenTake)->Arg(16)->Arg(1024);

// A timer ticking while the program is busy: every tick after the first is merged away.
void BM_MergedTick(benchmark::State& state) {
    ClearEventQueue();
    QueueToolkitEvent(EventCodeTimer, 0, 47, 0);
    for (auto _ : state) benchmark::DoNotOptimize(QueueToolkitEvent(EventCodeTimer, 0, 47, 0));
    ClearEventQueue();
}
BENCHMARK(BM_MergedTick);

void BM_PostAndTake(benchmark::State& state) {
    ClearEventQueue();
    int32_t code = 0;
    for (auto _ : state) {
        PostEvent(1068, 0, 0);
        TakeQueuedEvent(code);
        benchmark::DoNotOptimize(code);
    }
}
BENCHMARK(BM_PostAndTake);

// Closing a window with a queue of 64 pending events of several windows.
void BM_RemoveWindowEvents(benchmark::State& state) {
    ClearEventQueue();
    for (auto _ : state) {
        for (int64_t i = 0; i < 64; ++i) PostEvent(EventCodeGadget, i % 4, i);
        RemoveQueuedWindowEvents(1);
        ClearEventQueue();
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_RemoveWindowEvents);

}  // namespace

BENCHMARK_MAIN();
