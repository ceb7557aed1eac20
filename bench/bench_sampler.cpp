// One reading of a live process, and the per-file reads it is made of.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "monitor/sampler.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"

namespace {

void BM_ReadMemorySample_Self(benchmark::State& state) {
    const pid_t self = getpid();
    const uint64_t started = ProcessStartTime(self);
    MemorySample sample;
    for (auto _ : state) {
        bool read = ReadMemorySample(self, sample, started);
        benchmark::DoNotOptimize(read);
        benchmark::DoNotOptimize(sample);
    }
}
BENCHMARK(BM_ReadMemorySample_Self);

void BM_ReadMemorySample_Child(benchmark::State& state) {
    ChildProcess child([] { pause(); });  // a target other than the benchmark itself
    const uint64_t started = ProcessStartTime(child.Pid());
    MemorySample sample;
    for (auto _ : state) {
        bool read = ReadMemorySample(child.Pid(), sample, started);
        benchmark::DoNotOptimize(read);
        benchmark::DoNotOptimize(sample);
    }
    if (!ReadMemorySample(child.Pid(), sample)) state.SkipWithError("child not readable");
}
BENCHMARK(BM_ReadMemorySample_Child);

void BM_OpenProcessDir(benchmark::State& state) {
    const pid_t self = getpid();
    for (auto _ : state) {
        int dirFd = OpenProcessDir(self);
        benchmark::DoNotOptimize(dirFd);
        CloseProcessDir(dirFd);
    }
}
BENCHMARK(BM_OpenProcessDir);

// stat alone, through a directory opened once.
void BM_ReadTaskInfo(benchmark::State& state) {
    int dirFd = OpenProcessDir(getpid());
    TaskInfo info;
    for (auto _ : state) {
        bool read = ReadTaskInfoAt(dirFd, info);
        benchmark::DoNotOptimize(read);
        benchmark::DoNotOptimize(info);
    }
    CloseProcessDir(dirFd);
}
BENCHMARK(BM_ReadTaskInfo);

// status alone, through a directory opened once.
void BM_ReadPhysicalFootprint(benchmark::State& state) {
    int dirFd = OpenProcessDir(getpid());
    for (auto _ : state) benchmark::DoNotOptimize(ReadPhysicalFootprintAt(dirFd));
    CloseProcessDir(dirFd);
}
BENCHMARK(BM_ReadPhysicalFootprint);

}  // namespace

BENCHMARK_MAIN();
