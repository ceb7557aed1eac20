// quolk --serve at scale: 500 processes watched by name among the machine's others. One interval's
// work (the process list refreshed, every watched process read and ticked, its leak test run,
// the metrics set), its CPU time against the 10 s interval; a scrape of the 500 (the metrics
// collected and written as the exposition text); and Quolk's own memory once every process holds
// a full hour's window of samples.
#include <benchmark/benchmark.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <prometheus/text_serializer.h>

#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/serve/serve_metrics.h"
#include "platform/proc_fixture.h"
#include "strings/stringtable.h"

namespace {

constexpr int kWatched = 500;
constexpr int64_t kIntervalMs = 10000;
const char* const kName = "qbench-served";

std::vector<std::unique_ptr<ChildProcess>>& Children() {
    static std::vector<std::unique_ptr<ChildProcess>> children;
    if (children.empty())
        for (int i = 0; i < kWatched; ++i)
            children.push_back(std::make_unique<ChildProcess>([] {
                prctl(PR_SET_NAME, kName);
                for (;;) pause();
            }));
    return children;
}

// A field of /proc/self/status in kB.
double StatusKB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":")) return std::stod(line.substr(field.size() + 1));
    return 0;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Served {
    ProcessWatch watch{[] {
        WatchSettings settings;
        settings.names = {kName};
        settings.intervalMs = kIntervalMs;
        return settings;
    }()};
    ServeMetrics metrics;
    double now{};
    void Tick() {
        const WatchChanges changes = watch.Tick(now += double(kIntervalMs) / 1000.0);
        metrics.Update(watch, changes, 0.0);
    }
};

// One interval's work; cpuPercent is its CPU time as a share of one core over the interval.
void BM_ServeInterval(benchmark::State& state) {
    LoadStringTable(u"en");
    Children();
    Served served;
    served.Tick();
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) served.Tick();
    const double cpuPerTick = (ProcessCpuSeconds() - cpuStart) / double(state.iterations());
    state.counters["watched"] = double(served.watch.Processes().size());
    state.counters["cpuPercent"] = cpuPerTick * 100.0 / (double(kIntervalMs) / 1000.0);
}
BENCHMARK(BM_ServeInterval)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// A scrape of the 500: collection and the exposition text.
void BM_ServeScrape(benchmark::State& state) {
    Children();
    Served served;
    served.Tick();
    const prometheus::TextSerializer serializer;
    size_t bytes = 0;
    for (auto _ : state) bytes = serializer.Serialize(served.metrics.Collectable()->Collect()).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ServeScrape)->Unit(benchmark::kMillisecond);

// The whole program's resident memory once each of the 500 holds an hour's window at 10 s.
void BM_ServeMemoryAtFullWindows(benchmark::State& state) {
    Children();
    for (auto _ : state) {
        Served served;
        for (int i = 0; i < 360; ++i) served.Tick();
        state.counters["rssAnonMB"] = StatusKB("RssAnon") / 1024.0;
        state.counters["vmHWMMB"] = StatusKB("VmHWM") / 1024.0;
    }
}
BENCHMARK(BM_ServeMemoryAtFullWindows)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
