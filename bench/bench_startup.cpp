// The window's start-up and idle cost, whole process: the real quolk is started as a user would
// start it. Cold start is timed to the main window's first paint (the program ends there when
// QUOLK_QUIT_AFTER_FIRST_PAINT=1), offscreen and, when DISPLAY names an X server (for example
// Xvfb), on it. Idle runs the window for 10 s and reports its anonymous memory and CPU time.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

const char* const kQuolk = QUOLK_BINARY_DIR "/quolk";

// The environment of this process with the given variables replaced or added.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry; ++entry) {
        const std::string current(*entry);
        bool replaced = false;
        for (const std::string& o : overrides)
            replaced |= current.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
        if (!replaced) result.push_back(current);
    }
    result.insert(result.end(), overrides.begin(), overrides.end());
    return result;
}

pid_t Spawn(const std::vector<std::string>& environment) {
    std::vector<char*> env;
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>(kQuolk), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, kQuolk, nullptr, nullptr, argv, env.data()) != 0) return -1;
    return pid;
}

// The exit status; `cpuSeconds` receives the child's user and system time.
int WaitFor(pid_t pid, double* cpuSeconds = nullptr) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return -1;
    if (cpuSeconds)
        *cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void ColdStart(benchmark::State& state, const std::vector<std::string>& environment) {
    std::vector<double> times, cpuTimes;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = Spawn(environment);
        double cpu = 0;
        if (pid < 0 || WaitFor(pid, &cpu) != 0) {
            state.SkipWithError("quolk did not start and paint");
            return;
        }
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        cpuTimes.push_back(cpu);
        state.SetIterationTime(times.back());
    }
    // The process's own CPU time says what start-up costs when other work shares the machine.
    state.counters["median_ms"] = Median(times) * 1000.0;
    state.counters["median_cpu_ms"] = Median(cpuTimes) * 1000.0;
}

void BM_ColdStartToFirstPaintOffscreen(benchmark::State& state) {
    ColdStart(state, EnvironmentWith({"QT_QPA_PLATFORM=offscreen", "QUOLK_QUIT_AFTER_FIRST_PAINT=1"}));
}
BENCHMARK(BM_ColdStartToFirstPaintOffscreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ColdStartToFirstPaintOnX(benchmark::State& state) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        state.SkipWithError("no DISPLAY: start Xvfb and set DISPLAY to time this");
        for (auto _ : state) {}
        return;
    }
    ColdStart(state, EnvironmentWith({"QT_QPA_PLATFORM=xcb", "QUOLK_QUIT_AFTER_FIRST_PAINT=1"}));
}
BENCHMARK(BM_ColdStartToFirstPaintOnX)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A "Name:   123 kB" line of /proc/PID/status, in kB; -1 if missing.
long StatusKilobytes(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
    }
    return -1;
}

// utime + stime of /proc/PID/stat, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) {
            stime = std::atol(field.c_str());
            break;
        }
    }
    return utime + stime;
}

void BM_IdleWindowFor10s(benchmark::State& state) {
    for (auto _ : state) {
        const pid_t pid = Spawn(EnvironmentWith({"QT_QPA_PLATFORM=offscreen"}));
        if (pid < 0) {
            state.SkipWithError("quolk did not start");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up done, window shown
        const long before = CpuTicks(pid);
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const long after = CpuTicks(pid);
        state.counters["RssAnon_MB"] = StatusKilobytes(pid, "RssAnon") / 1024.0;
        state.counters["VmRSS_MB"] = StatusKilobytes(pid, "VmRSS") / 1024.0;
        state.counters["cpu_ticks_10s"] = static_cast<double>(after - before);
        state.counters["cpu_percent"] = 100.0 * (after - before) / sysconf(_SC_CLK_TCK) / 10.0;
        kill(pid, SIGTERM);
        WaitFor(pid);
    }
}
BENCHMARK(BM_IdleWindowFor10s)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
