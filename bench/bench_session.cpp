// One tick of the monitoring core against a live process: the sample read, the alarms, the CSV row
// (buffered, flushed every 15th row) and the history point; and the same tick with the view the
// window asks for after it (the panel and alert texts, the badge).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "scratch_dir.h"
#include "session/session.h"
#include "session/session_view.h"
#include "strings/stringtable.h"

namespace {

void TickLiveChildWithCsv(benchmark::State& state, bool withView) {
    LoadStringTable(u"en");
    ScratchDir home;
    setenv("HOME", home.path.c_str(), 1);
    ChildProcess child([] { pause(); });
    SessionContext context;
    SetMonitorTarget(context, {child.Pid(), u"child", u"", ProcessStartTime(child.Pid())});
    const TickRecord start = StartSession(context, true);
    if (!start.ticked || context.log.file == 0) state.SkipWithError("session did not start with a log");
    for (auto _ : state) {
        TickRecord record = TickSession(context);
        benchmark::DoNotOptimize(record);
        if (!withView) continue;
        SessionView view = SessionViewOf(context, record);
        benchmark::DoNotOptimize(view);
    }
    if (!context.session.active) state.SkipWithError("the child ended");
    StopSession(context);
    CloseHeldTarget(context.session.held);
}

void BM_SessionTick_LiveChildWithCsv(benchmark::State& state) { TickLiveChildWithCsv(state, false); }
BENCHMARK(BM_SessionTick_LiveChildWithCsv);

void BM_SessionTickAndView_LiveChildWithCsv(benchmark::State& state) { TickLiveChildWithCsv(state, true); }
BENCHMARK(BM_SessionTickAndView_LiveChildWithCsv);

}  // namespace

BENCHMARK_MAIN();
