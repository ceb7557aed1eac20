// The window's monitoring tick against a live process: the core's tick, the panel labels, the
// alarms, the CSV row, the title's badge and the trend graph's repaint of the full history; and
// Quolk's own anonymous memory before and after an hour's worth of such ticks.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/monitoring.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "scratch_dir.h"
#include "strings/stringtable.h"
#include "toolkit/application.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

// This process's RssAnon in kB, from its status file.
int64_t OwnRssAnonKB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("RssAnon:", 0) == 0) return std::stoll(line.substr(8));
    return -1;
}

// A main window, a child to watch, a session with the CSV log on, started and run until the history
// is full; everything goes when the benchmark ends.
struct WindowSession {
    ScratchDir home;
    ChildProcess child{[] { for (;;) pause(); }};
    AppState state;

    WindowSession() {
        setenv("HOME", home.path.c_str(), 1);
        LoadStringTable(u"en");
        OpenMainWindow(state);
        SetMonitorTarget(state.monitor, {child.Pid(), u"child", u"", ProcessStartTime(child.Pid())});
        SetGadgetState(GadgetCsvOutput, CheckBoxChecked);
        StartMonitoring(state);
        for (int i = 0; i < 300; ++i) MonitorTick(state);
    }
    ~WindowSession() {
        state.session.active = false;  // no report window at the end
        StopMonitoring(state);
        CloseWindow(MainWindow);
    }
};

void BM_MonitorTick_WindowFullHistoryCsv(benchmark::State& bench) {
    WindowSession session;
    for (auto _ : bench) MonitorTick(session.state);
    if (!session.state.session.active) bench.SkipWithError("the session ended");
}
BENCHMARK(BM_MonitorTick_WindowFullHistoryCsv);

// 7,200 ticks: an hour at 500 ms, run back to back.
void BM_MonitorTick_HourOfTicksRssAnonGrowth(benchmark::State& bench) {
    for (auto _ : bench) {
        WindowSession session;
        const int64_t before = OwnRssAnonKB();
        for (int i = 0; i < 7200; ++i) MonitorTick(session.state);
        const int64_t after = OwnRssAnonKB();
        bench.counters["rssAnonGrowthKB"] = double(after - before);
        if (!session.state.session.active) bench.SkipWithError("the session ended");
    }
}
BENCHMARK(BM_MonitorTick_HourOfTicksRssAnonGrowth)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitToolkit(argc, argv, u"Quolk", u"quolk");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    EndToolkit();
    return 0;
}
