// The window's start-up and idle cost, whole process: the real quolk is started as a user would
// start it. Cold start is timed to the main window's first paint (the program ends there when
// QUOLK_QUIT_AFTER_FIRST_PAINT=1) beside a one-label Qt program, offscreen and, when DISPLAY names
// an X server (for example Xvfb), on it. Idle runs the window for 10 s and reports its anonymous
// memory and CPU time. With BEFORE=path/to/an/older/quolk, that one starts in the same rounds too.
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

#include "app/main_window.h"
#include "side_by_side.h"

namespace {

const char* const kQuolk = QUOLK_BINARY_DIR "/quolk";
const char* const kOneLabel = QUOLK_BINARY_DIR "/bench/programs/one_label";

pid_t Spawn(const std::vector<std::string>& environment) {
    std::vector<std::string> env = environment;
    std::vector<char*> pointers = side_by_side::Pointers(env);
    char* argv[] = {const_cast<char*>(kQuolk), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, kQuolk, nullptr, nullptr, argv, pointers.data()) != 0) return -1;
    return pid;
}

void WaitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
}

// quolk to its main window's first paint, beside a one-label Qt Widgets program to its first paint
// at its own size and at the main window's: the extra cost of Quolk's window over the toolkit's
// least, and the part of it that is only the larger window's area. Each value is the median of 20.
void WindowBesideOneLabel(benchmark::State& state, const std::string& platform) {
    const std::string size = std::to_string(MainWindowWidth) + "x" + std::to_string(MainWindowHeight);
    const std::vector<std::string> environment = {"QT_QPA_PLATFORM=" + platform, "QUOLK_QUIT_AFTER_FIRST_PAINT=1"};
    std::vector<side_by_side::Program> programs = {{"one_label", {kOneLabel}, environment},
                                                   {"one_label_window_size", {kOneLabel, size}, environment},
                                                   {"quolk", {kQuolk}, environment}};
    if (const char* older = std::getenv("BEFORE")) programs.push_back({"before", {older}, environment});
    side_by_side::RunSideBySide(state, programs, 20);
}

void BM_WindowBesideOneLabelOffscreen(benchmark::State& state) { WindowBesideOneLabel(state, "offscreen"); }
BENCHMARK(BM_WindowBesideOneLabelOffscreen)->Iterations(1)->Unit(benchmark::kSecond);

void BM_WindowBesideOneLabelOnX(benchmark::State& state) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        state.SkipWithError("no DISPLAY: start Xvfb and set DISPLAY to time this");
        for (auto _ : state) {}
        return;
    }
    WindowBesideOneLabel(state, "xcb");
}
BENCHMARK(BM_WindowBesideOneLabelOnX)->Iterations(1)->Unit(benchmark::kSecond);

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
        const pid_t pid = Spawn(side_by_side::EnvironmentWith({"QT_QPA_PLATFORM=offscreen"}));
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
