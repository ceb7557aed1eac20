// The picker with 5,000 extra processes running: a key typed in its search field (the rows the
// sheet read, searched and shown again), the sheet's first fill (every process read, in user-apps
// mode every process asked whether it is a desktop application) and the reading on its timer.
// Run with DISPLAY set, every extra process is a desktop application of the user.
// Also one trend graph repaint of a full history through the window's painter.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/process_picker.h"
#include "app/trend_graph.h"
#include "platform/proc_fixture.h"
#include "session/process_list.h"
#include "strings/stringtable.h"
#include "toolkit/application.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"

namespace {

constexpr int kExtraProcesses = 5000;

// Sleeping children, killed and reaped when the program ends.
std::vector<std::unique_ptr<ChildProcess>>& Children() {
    static std::vector<std::unique_ptr<ChildProcess>> children;
    return children;
}

void StartChildren() {
    for (int i = 0; i < kExtraProcesses; ++i)
        Children().push_back(std::make_unique<ChildProcess>([] { for (;;) pause(); }));
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void OpenPickerList() {
    OpenWindow(PickerWindow, 0, 0, 550, 420, u"");
    ListIconGadget(PickerList, 15, 45, 520, 320, u"PID", 80, 8);
    AddGadgetColumn(PickerList, 1, LookupText(TextId::ColumnProcessName), 190);
    AddGadgetColumn(PickerList, 2, LookupText(TextId::ColumnPath), 230);
}

// Keys typed into the search field: "bench" letter by letter, then a letter that leaves no row,
// then the search erased key by key. The extra processes, named like this program, match the
// first five searches: the key after "bench_x" brings them all back into an empty list, the
// dearest key (worstKeyMs, CPU time).
const char16_t* const Keys[] = {u"b", u"be", u"ben", u"benc", u"bench", u"bench_x",
                                u"bench", u"benc", u"ben", u"be", u"b", u""};

void BM_PickerKey(benchmark::State& state) {
    const bool userApps = state.range(0) != 0;
    ForgetProcessList();
    FillProcessList(u"", userApps);
    size_t key = 0;
    double worst = 0;
    for (auto _ : state) {
        const double start = ThreadCpuMs();
        FillProcessList(Keys[key++ % std::size(Keys)], userApps);
        worst = std::max(worst, ThreadCpuMs() - start);
    }
    state.counters["processes"] = double(ListProcesses().size());
    state.counters["worstKeyMs"] = worst;
}
BENCHMARK(BM_PickerKey)->Arg(0)->Arg(1)->ArgName("userApps")->Unit(benchmark::kMillisecond);

// The sheet's first fill, as Browse... does it before the sheet shows: every process read.
void BM_PickerFirstFill(benchmark::State& state) {
    const bool userApps = state.range(0) != 0;
    for (auto _ : state) {
        ForgetProcessList();
        FillProcessList(u"", userApps);
    }
    state.counters["rows"] = double(CountGadgetItems(PickerList));
}
BENCHMARK(BM_PickerFirstFill)->Arg(0)->Arg(1)->ArgName("userApps")->Unit(benchmark::kMillisecond);

// The sheet's timer: the processes listed again, nothing new to read.
void BM_PickerTimerRead(benchmark::State& state) {
    ListedProcesses table;
    RefreshListedProcesses(table, true);
    for (auto _ : state) benchmark::DoNotOptimize(RefreshListedProcesses(table, true));
}
BENCHMARK(BM_PickerTimerRead)->Unit(benchmark::kMillisecond);

void BM_DrawTrendGraphFullHistory(benchmark::State& state) {
    OpenWindow(0, 0, 0, 600, 200, u"graph");
    CanvasGadget(21, 20, 20, 560, 140);
    SampleHistory history;
    TrendPlan plan;
    for (int i = 0; i < 300; ++i)
        AppendHistoryPoint(history, i, 80.0f + float(i / 40) * 6.0f + float(std::sin(i * 0.7)), 900.0f);
    for (auto _ : state) DrawTrendGraph(21, history, plan);
    CloseWindow(0);
}
BENCHMARK(BM_DrawTrendGraphFullHistory)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    InitToolkit(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    LoadStringTable(u"en");
    StartChildren();
    OpenPickerList();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Children().clear();
    EndToolkit();
    return 0;
}
