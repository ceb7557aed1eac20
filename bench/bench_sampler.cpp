// One reading of a live process, and the per-file reads it is made of.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

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

// The same readings through a target held for the whole session: pidfd, stat and status kept
// open and re-read at offset 0.
void BM_ReadHeldTargetSample_Child(benchmark::State& state) {
    ChildProcess child([] { pause(); });
    HeldTarget target;
    if (!OpenHeldTarget(child.Pid(), ProcessStartTime(child.Pid()), target)) state.SkipWithError("not held");
    MemorySample sample;
    for (auto _ : state) {
        bool read = ReadHeldTargetSample(target, sample);
        benchmark::DoNotOptimize(read);
        benchmark::DoNotOptimize(sample);
    }
    CloseHeldTarget(target);
}
BENCHMARK(BM_ReadHeldTargetSample_Child);

// What the held reading cannot beat: the two preads it is made of, nothing parsed.
void BM_TwoPreads_Child(benchmark::State& state) {
    ChildProcess child([] { pause(); });
    const std::string dir = "/proc/" + std::to_string(child.Pid());
    const int stat = open((dir + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    const int status = open((dir + "/status").c_str(), O_RDONLY | O_CLOEXEC);
    char statBuffer[1024], statusBuffer[4096];
    for (auto _ : state) {
        benchmark::DoNotOptimize(pread(stat, statBuffer, sizeof statBuffer - 1, 0));
        benchmark::DoNotOptimize(pread(status, statusBuffer, sizeof statusBuffer - 1, 0));
        benchmark::ClobberMemory();
    }
    close(stat);
    close(status);
}
BENCHMARK(BM_TwoPreads_Child);

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
