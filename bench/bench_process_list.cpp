// The picker's list refill, as every key press in its search field does it, with 1,000 extra
// processes running: all processes, and the user's desktop applications. The rows alone (the
// /proc reads, without what earlier refills learnt, as on the sheet's first fill) are measured
// too, to tell them from the list's own cost. Also one trend graph
// repaint of a full history through the window's painter.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
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

constexpr int kExtraProcesses = 1000;

// Sleeping children, killed and reaped when the program ends.
std::vector<std::unique_ptr<ChildProcess>>& Children() {
    static std::vector<std::unique_ptr<ChildProcess>> children;
    return children;
}

void StartChildren() {
    for (int i = 0; i < kExtraProcesses; ++i)
        Children().push_back(std::make_unique<ChildProcess>([] { for (;;) pause(); }));
}

void OpenPickerList() {
    OpenWindow(PickerWindow, 0, 0, 550, 420, u"");
    ListIconGadget(PickerList, 15, 45, 520, 320, u"PID", 80, 8);
    AddGadgetColumn(PickerList, 1, LookupText(TextId::ColumnProcessName), 190);
    AddGadgetColumn(PickerList, 2, LookupText(TextId::ColumnPath), 230);
}

void BM_FillProcessList(benchmark::State& state) {
    const bool userApps = state.range(0) != 0;
    for (auto _ : state) FillProcessList(u"", userApps);
    state.counters["rows"] = double(CountGadgetItems(PickerList));
    state.counters["pids"] = double(ListAllPids().size());
}
BENCHMARK(BM_FillProcessList)->Arg(0)->ArgName("userApps")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillProcessList)->Arg(1)->ArgName("userApps")->Unit(benchmark::kMillisecond);

// Without what earlier refills learnt: the sheet's first fill.
void BM_ListProcessRows(benchmark::State& state) {
    const bool userApps = state.range(0) != 0;
    size_t rows = 0;
    for (auto _ : state) rows = ListProcessRows(u"", userApps).size();
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ListProcessRows)->Arg(0)->ArgName("userApps")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListProcessRows)->Arg(1)->ArgName("userApps")->Unit(benchmark::kMillisecond);

// A search that matches almost nothing: the reads stay, the list work goes.
void BM_FillProcessListSearch(benchmark::State& state) {
    for (auto _ : state) FillProcessList(u"zz-no-such-process", false);
}
BENCHMARK(BM_FillProcessListSearch)->Unit(benchmark::kMillisecond);

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
