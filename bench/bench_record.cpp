// One tick of a recording: the session tick with its CSV row, alone and with --include-children:
// a family of ten, of a thousand, a target with 2,000 threads and no children, and a target with
// two children among a thousand other processes; the families of ten and a thousand also with
// their members noted one by one, as the recorder does, and written to --children-csv.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "app/cli/family_members.h"
#include "monitor/family_provider.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "platform/process_family.h"
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

// What the recorder does after each tick besides: nothing, note the family's members, or note them
// and write their rows to --children-csv.
enum class Members { None, Noted, Written };

// Ticks a recording session of the target with its CSV log, as the recorder does.
void TickRecording(benchmark::State& state, pid_t target, ProcessProvider& provider, size_t expectFamily,
                   Members members = Members::None) {
    LoadStringTable(u"en");
    ScratchDir dir;
    // The family must be complete before the ticks are timed.
    auto descendants = [target] {
        ProcessFamily family;
        FamilyReading reading;
        return family.Follow(target, 0) && family.Read(reading) ? size_t(reading.members - 1) : size_t(0);
    };
    for (int tries = 0; tries < 200 && descendants() < expectFamily; ++tries) usleep(20000);
    if (descendants() < expectFamily) state.SkipWithError("family incomplete");
    SessionContext context;
    context.services.processes = &provider;
    context.settings.dockStatsEnabled = false;
    context.settings.csvPath = TextFromUtf8(dir.File("log.csv"));
    SetMonitorTarget(context, {target, u"target", u"", ProcessStartTime(target)});
    if (!StartSession(context, true).ticked) state.SkipWithError("target not readable");
    FamilyMembers family;
    if (members == Members::Written) CreateChildrenCsv(family, TextFromUtf8(dir.File("children.csv")));
    const auto named = [&family](const FamilyMember& m) { return MemberNameWanted(family, m); };
    for (auto _ : state) {
        TickRecord record = TickSession(context);
        benchmark::DoNotOptimize(record);
        if (members != Members::None)
            NoteMembers(family, static_cast<FamilyProcessProvider&>(provider).Members(named), 0, Date());
    }
    CloseMonitorLog(family.csv);
    if (members != Members::None && family.members.size() < expectFamily) state.SkipWithError("members not noted");
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

// --include-children of a family of ten: the target and nine children; also with the members noted
// and written.
void BM_RecordTick_IncludeChildren_Of10(benchmark::State& state) {
    std::unique_ptr<ChildProcess> target = Family(9);
    FamilyProcessProvider family;
    TickRecording(state, target->Pid(), family, 9, Members(state.range(0)));
}
BENCHMARK(BM_RecordTick_IncludeChildren_Of10)->Unit(benchmark::kMicrosecond)->DenseRange(0, 2);

// --include-children of a target with 2,000 threads and no children: more threads than each
// thread's children list is read for, so its children come from the process table.
void BM_RecordTick_IncludeChildren_2000Threads(benchmark::State& state) {
    ChildProcess target([] {
        pthread_attr_t small;
        pthread_attr_init(&small);
        pthread_attr_setstacksize(&small, 64 << 10);
        for (int i = 1; i < 2000; ++i) {
            pthread_t thread;
            pthread_create(&thread, &small, [](void*) -> void* { for (;;) pause(); }, nullptr);
        }
        ChildProcess::Pause();
        for (;;) pause();
    });
    target.WaitUntil();
    target.Resume();
    FamilyProcessProvider family;
    TickRecording(state, target.Pid(), family, 0);
    state.counters["threads"] = 2000;
}
BENCHMARK(BM_RecordTick_IncludeChildren_2000Threads)->Unit(benchmark::kMicrosecond);

// --include-children of a target whose 1,000 children are all summed at every tick.
void BM_RecordTick_IncludeChildren_Of1000(benchmark::State& state) {
    std::unique_ptr<ChildProcess> target = Family(kProcesses);
    FamilyProcessProvider family;
    TickRecording(state, target->Pid(), family, kProcesses, Members(state.range(0)));
}
BENCHMARK(BM_RecordTick_IncludeChildren_Of1000)->Unit(benchmark::kMillisecond)->DenseRange(0, 2);

// Follows the target's family until a reading finds all its descendants (or 10 s have passed).
void FollowWhole(ProcessFamily& family, pid_t target, FamilyReading& reading) {
    family.Follow(target, 0);
    for (int tries = 0; tries < 500 && reading.members <= kProcesses; ++tries) family.Read(reading), usleep(20000);
}

// The family's own reading, without the session around it: the cost per descendant.
void BM_ProcessFamilyRead_Of1000(benchmark::State& state) {
    std::unique_ptr<ChildProcess> target = Family(kProcesses);
    ProcessFamily family;
    FamilyReading reading;
    FollowWhole(family, target->Pid(), reading);
    for (auto _ : state) benchmark::DoNotOptimize(family.Read(reading));
    if (reading.members != kProcesses + 1) state.SkipWithError("family incomplete");
    state.counters["perDescendant"] = benchmark::Counter(double(kProcesses), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessFamilyRead_Of1000)->Unit(benchmark::kMillisecond);

// What the recorder adds to a tick of a family of 1,000 for its members one by one, without the
// reading itself: the members asked for (named only when new) and noted; also written to
// --children-csv; and, for comparison, what naming every member at every tick would cost.
void BM_FamilyMembers_Of1000(benchmark::State& state) {
    std::unique_ptr<ChildProcess> target = Family(kProcesses);
    ProcessFamily family;
    FamilyReading reading;
    FollowWhole(family, target->Pid(), reading);
    ScratchDir dir;
    FamilyMembers members;
    if (state.range(0) == 1) CreateChildrenCsv(members, TextFromUtf8(dir.File("children.csv")));
    const auto named = [&members](const FamilyMember& m) { return MemberNameWanted(members, m); };
    const bool everyName = state.range(0) == 2;
    for (auto _ : state) NoteMembers(members, everyName ? family.Members() : family.Members(named), 0, Date());
    CloseMonitorLog(members.csv);
    if (members.members.size() != kProcesses + 1) state.SkipWithError("family incomplete");
}
BENCHMARK(BM_FamilyMembers_Of1000)->Unit(benchmark::kMicrosecond)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
