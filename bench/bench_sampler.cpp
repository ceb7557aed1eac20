// One reading of a live process, and the per-file reads it is made of.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
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

// One read of smaps_rollup (its proportional shares, as --include-children reads them) of a
// process that touched this many MB with malloc, in pages of 4 kB as a program's heap has them:
// the kernel walks the page tables.
void BM_ReadSmapsRollup(benchmark::State& state) {
    const size_t bytes = size_t(state.range(0)) << 20;
    ChildProcess child([bytes] {
        char* block = static_cast<char*>(std::malloc(bytes));
        if (block) std::memset(block, 0x5A, bytes);
        benchmark::DoNotOptimize(block);
        benchmark::ClobberMemory();
        ChildProcess::Pause();
        for (;;) pause();
    });
    child.WaitUntil();
    const int fd = open(("/proc/" + std::to_string(child.Pid()) + "/smaps_rollup").c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    for (auto _ : state) benchmark::DoNotOptimize(pread(fd, buffer, sizeof buffer, 0));
    close(fd);
    const int status = open(("/proc/" + std::to_string(child.Pid()) + "/status").c_str(), O_RDONLY | O_CLOEXEC);
    const ssize_t length = pread(status, buffer, sizeof buffer - 1, 0);
    close(status);
    buffer[length > 0 ? length : 0] = '\0';
    const char* anon = std::strstr(buffer, "RssAnon:");
    state.counters["rssAnonMB"] = anon ? std::atof(anon + 8) / 1024.0 : 0.0;
}
BENCHMARK(BM_ReadSmapsRollup)->Arg(10)->Arg(1024)->Arg(8192)->ArgName("MB")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
