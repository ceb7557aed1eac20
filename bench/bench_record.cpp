// One tick of a recording: the session tick with its CSV row, alone and with --include-children
// (the family read from the parent PIDs of every process on the machine).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "monitor/family_provider.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "platform/process_tree.h"
#include "scratch_dir.h"
#include "session/session.h"
#include "strings/stringtable.h"

namespace {

constexpr int kProcesses = 1000;

// A process that sleeps until it is killed, and dies with its parent, also one that died before
// the wish was registered.
[[noreturn]] void Sleeper(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(0);
    for (;;) pause();
}

// A target with `descendants` sleeping children of its own.
std::unique_ptr<ChildProcess> Family(int descendants) {
    return std::make_unique<ChildProcess>([descendants] {
        const pid_t self = getpid();
        for (int i = 0; i < descendants; ++i)
            if (fork() == 0) Sleeper(self);
        for (;;) pause();
    });
}

// Ticks a recording session of the target with its CSV log, as the recorder does.
void TickRecording(benchmark::State& state, pid_t target, ProcessProvider& provider, size_t expectFamily) {
    LoadStringTable(u"en");
    ScratchDir dir;
    // The family must be complete before the ticks are timed.
    for (int tries = 0; tries < 200 && ListDescendants(target).size() < expectFamily; ++tries) usleep(20000);
    if (ListDescendants(target).size() < expectFamily) state.SkipWithError("family incomplete");
    SessionContext context;
    context.services.processes = &provider;
    context.settings.dockStatsEnabled = false;
    context.settings.csvPath = TextFromUtf8(dir.File("log.csv"));
    SetMonitorTarget(context, {target, u"target", u"", ProcessStartTime(target)});
    if (!StartSession(context, true).ticked) state.SkipWithError("target not readable");
    for (auto _ : state) {
        TickRecord record = TickSession(context);
        benchmark::DoNotOptimize(record);
    }
    if (!context.session.active) state.SkipWithError("the target ended");
    StopSession(context);
    CloseHeldTarget(context.session.held);
}

void BM_RecordTick_Child(benchmark::State& state) {
    ChildProcess child([] { pause(); });
    TickRecording(state, child.Pid(), SystemProcessProvider(), 0);
}
BENCHMARK(BM_RecordTick_Child);

// --include-children of a target with two children, among 1,000 other processes.
void BM_RecordTick_IncludeChildren_Among1000(benchmark::State& state) {
    std::vector<std::unique_ptr<ChildProcess>> others;
    const pid_t self = getpid();
    for (int i = 0; i < kProcesses; ++i) others.push_back(std::make_unique<ChildProcess>([self] { Sleeper(self); }));
    std::unique_ptr<ChildProcess> target = Family(2);
    FamilyProcessProvider family;
    TickRecording(state, target->Pid(), family, 2);
}
BENCHMARK(BM_RecordTick_IncludeChildren_Among1000)->Unit(benchmark::kMillisecond);

// --include-children of a target whose 1,000 children are all summed at every tick.
void BM_RecordTick_IncludeChildren_Of1000(benchmark::State& state) {
    std::unique_ptr<ChildProcess> target = Family(kProcesses);
    FamilyProcessProvider family;
    TickRecording(state, target->Pid(), family, kProcesses);
}
BENCHMARK(BM_RecordTick_IncludeChildren_Of1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
