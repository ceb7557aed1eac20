// One reading of a live process, and the per-file reads it is made of.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "monitor/sampler.h"
#include "platform/process_info.h"

namespace {

// A child that only waits to be killed: a target other than the benchmark itself.
class IdleChild {
public:
    IdleChild() {
        pid_ = fork();
        if (pid_ == 0) {
            pause();
            _exit(0);
        }
    }
    ~IdleChild() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

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
    IdleChild child;
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
