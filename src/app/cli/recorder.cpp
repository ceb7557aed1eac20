#include "app/cli/recorder.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string>

#include "analysis/phase_analysis.h"
#include "app/cli/child_process.h"
#include "app/cli/cli_result.h"
#include "app/cli/cli_text.h"
#include "app/cli/command_line.h"
#include "app/cli/family_members.h"
#include "app/cli/json_summary.h"
#include "app/cli/recorder_stacks.h"
#include "app/cli/tick_pacing.h"
#include "monitor/family_provider.h"
#include "platform/process_info.h"
#include "platform/process_tree.h"
#include "runtime/date.h"
#include "session/session.h"
#include "session/session_view.h"
#include "strings/stringtable.h"

namespace {

enum class EndReason { Running, Duration, TargetEnded, Signal, Budget, Error };

const char* EndReasonName(EndReason reason) {
    switch (reason) {
        case EndReason::Running: break;
        case EndReason::Duration: return "duration";
        case EndReason::TargetEnded: return "target_ended";
        case EndReason::Signal: return "signal";
        case EndReason::Budget: return "budget";
        case EndReason::Error: return "error";
    }
    return "";
}

// The signals that end a recording, and SIGCHLD for the command's end, read from a signalfd so
// that the recorder sleeps in one poll between ticks.
struct SignalGuard {
    sigset_t previous{};
    int fd{-1};
    SignalGuard() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &previous);
        fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~SignalGuard() {
        if (fd >= 0) close(fd);
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
};

struct Recording {
    const CliOptions& options;
    std::FILE* err;
    FamilyProcessProvider family;  // the readings with --include-children
    FamilyMembers members;         // and their members one by one
    SessionContext context;
    ChildProcess child;
    SignalGuard signals;
    bool liveLine{};
    bool lineShown{};
    bool logFailed{};
    bool childrenCsvFailed{};
    int64_t startMs{};
    int64_t samples{};
    SummaryFacts facts;
    int64_t intervalMs{};
    RecordingStacks stacks;  // --stacks
    TickPacing pacing;

    Recording(const CliOptions& o, std::FILE* e) : options(o), err(e) {}
    ~Recording() { CloseHeldTarget(context.session.held); }
    void Tell(const std::string& message);
    void TellLogFailure(const LogFailure& failure, bool& told);
    void Apply(const TickRecord& record);
    void NoteFamily();
    bool OverBudget(const TickRecord& record);
    EndReason Wait(int64_t untilMs, int64_t& nowMs);
};

// One line on standard error, below the live line when one is shown.
void Recording::Tell(const std::string& message) {
    if (lineShown) std::fputc('\n', err), lineShown = false;
    Say(err, message);
}

// A CSV file's failure, told once.
void Recording::TellLogFailure(const LogFailure& failure, bool& told) {
    if (!failure.Failed() || told) return;
    told = true;
    Tell(FilledText(failure.creating ? TextId::CsvCannotCreatePrefix : TextId::CsvCannotWritePrefix) +
         TextToUtf8(failure.path) + ": " + TextToUtf8(failure.reason));
}

// The family's members at the sample just taken, and their rows in --children-csv.
void Recording::NoteFamily() {
    const auto named = [this](const FamilyMember& m) { return MemberNameWanted(members, m); };
    const SampleHistory& history = context.history;
    const DateValue time = history.count > 0 ? history.slots[history.count - 1].timestamp : Date();
    TellLogFailure(NoteMembers(members, family.Members(named), double(MonotonicMs() - startMs) / 1000.0, time),
                   childrenCsvFailed);
}

// The live line and the log's failures of one tick record.
void Recording::Apply(const TickRecord& r) {
    TellLogFailure(r.logFailure, logFailed);
    if (r.ticked) ++samples;
    if (r.ticked && options.stacks) SnapshotStacks(stacks);
    if (r.ticked && options.includeChildren) NoteFamily();
    // The panel's texts are made for the live line only: a recording that shows none makes none.
    if (!liveLine || !r.ticked) return;
    const SessionView view = SessionViewOf(context, r);
    const PanelTexts& p = *view.panel;
    Text line = p.lastUpdated + u"  " + LookupText(TextId::FootprintLabel) + u" " + p.footprint + u"  " +
                LookupText(TextId::DeltaLabel) + u" " + p.delta + u"  " + LookupText(TextId::PeakLabel) + u" " +
                p.peak + u"  " + view.alerts->streak + u"  " + view.alerts->growth;
    std::fprintf(err, "\r%s\x1b[K", TextToUtf8(line).c_str());
    std::fflush(err);
    lineShown = true;
}

// Whether the sample passed --max-footprint or --max-growth: then told, with the figure and the
// limit, and kept for the JSON.
bool Recording::OverBudget(const TickRecord& r) {
    if (!r.ticked) return false;
    const float footprint = r.figures.footprintMB, growth = r.figures.deltaMB;
    BudgetFacts& b = facts.budget;
    if (options.maxFootprintMB > 0 && footprint > float(options.maxFootprintMB)) {
        b.exceeded = "footprint";
        b.exceededMB = footprint;
        Tell(FilledText(TextId::FootprintOverBudget,
                        {Figure("%.2f", footprint), std::to_string(options.maxFootprintMB)}));
    } else if (options.maxGrowthMB > 0 && growth > float(options.maxGrowthMB)) {
        b.exceeded = "growth";
        b.exceededMB = growth;
        Tell(FilledText(TextId::GrowthOverBudget, {Figure("%.2f", growth), std::to_string(options.maxGrowthMB)}));
    }
    return !b.exceeded.empty();
}

// Sleeps in poll until untilMs, a signal or the target's end: the held target's pidfd tells the
// end of a process the recorder did not start, so that a long interval does not hold the end of a
// recording back; a command's end comes as SIGCHLD. nowMs is the clock as the caller last read it,
// and on return as it was at the wake-up: the clock is read once a wake.
EndReason Recording::Wait(int64_t untilMs, int64_t& nowMs) {
    const int pidFd = child.pid > 0 ? -1 : HeldTargetEndFd(context.session.held);
    for (;;) {
        int64_t left = untilMs - nowMs;
        if (left <= 0) return EndReason::Running;
        pollfd fds[2] = {{signals.fd, POLLIN, 0}, {pidFd, POLLIN, 0}};
        int ready = poll(fds, pidFd >= 0 ? 2 : 1, int(std::min<int64_t>(left, INT_MAX)));
        nowMs = MonotonicMs();
        if (ready < 0 && errno != EINTR) {
            Tell(FilledText(TextId::CannotWait, {std::strerror(errno)}));
            return EndReason::Error;
        }
        if (ready <= 0) continue;
        if (fds[1].revents != 0 && pidFd >= 0) return EndReason::TargetEnded;
        signalfd_siginfo info{};
        bool stop = false;
        while (read(signals.fd, &info, sizeof info) == ssize_t(sizeof info))
            if (info.ssi_signo != SIGCHLD) stop = true;
        if (stop) return EndReason::Signal;
        if (child.pid > 0 && ReapChild(child)) return EndReason::TargetEnded;
    }
}

// The target described and held, or a message why it cannot be recorded. A PID taken over by
// another process after the description cannot be held as the target: the first sample fails.
bool ChooseTarget(Recording& rec, int32_t pid, std::string& why) {
    int dirFd = OpenProcessDir(pid);
    ProcessDescription target;
    bool readable = dirFd >= 0 && DescribeProcessAt(dirFd, pid, target);
    // Only a kernel thread reads with no address space at all: it would record zeros.
    TaskInfo task;
    const bool kernelThread = readable && ReadTaskInfoAt(dirFd, task) && task.virtualBytes == 0;
    CloseProcessDir(dirFd);
    if (!readable || kernelThread) {
        why = FilledText(TextId::CannotReadProcessPrefix) + std::to_string(pid) +
              FilledText(kernelThread ? TextId::KernelThreadSuffix
                      : dirFd >= 0 ? TextId::ProcessEndedSuffix
                                   : TextId::NoSuchProcessSuffix);
        return false;
    }
    SetMonitorTarget(rec.context, target);
    rec.facts.pid = pid;
    rec.facts.name = TextToUtf8(target.name);
    rec.facts.path = TextToUtf8(target.path);
    rec.facts.processStart = ProcessStartUnixTime(target.startTime);
    return true;
}

void Configure(Recording& rec) {
    const CliOptions& o = rec.options;
    rec.intervalMs = EffectiveIntervalMs(o);
    SessionSettings& s = rec.context.settings;
    s.refreshIntervalMs = rec.intervalMs;
    s.streakThreshold = o.streakThreshold;
    s.growthLimitMB = o.growthLimitMB;
    s.dockStatsEnabled = false;
    s.csvPath = TextFromUtf8(o.csvPath);
    if (o.includeChildren) rec.context.services.processes = &rec.family;
    rec.liveLine = !o.quiet && isatty(fileno(rec.err));
    rec.facts.recorded = true;
    rec.facts.logPath = o.csvPath;
    rec.facts.command = o.command;
    rec.facts.includeChildren = o.includeChildren;
    if (o.includeChildren) rec.facts.members = &rec.members;
    rec.facts.intervalMs = rec.intervalMs;
    rec.facts.budget.maxFootprintMB = o.maxFootprintMB;
    rec.facts.budget.maxGrowthMB = o.maxGrowthMB;
    rec.pacing.intervalMs = rec.intervalMs;
}

// Ticks until the duration is over or its samples taken, the target ends, a budget is exceeded
// or a signal comes.
EndReason RunTicks(Recording& rec, int64_t startMs) {
    const double durationMs = rec.options.durationSec * 1000.0;
    const int64_t endMs = durationMs > 0 ? startMs + int64_t(durationMs) : INT64_MAX;
    const int64_t sampleLimit = SampleLimit(rec.options);
    TickPacing& pacing = rec.pacing;
    pacing.nextMs = startMs + rec.intervalMs;
    int64_t nowMs = MonotonicMs();
    for (;;) {
        if (sampleLimit > 0 && rec.samples >= sampleLimit) return EndReason::Duration;
        const bool tickDue = pacing.nextMs <= endMs;
        EndReason reason = rec.Wait(tickDue ? pacing.nextMs : endMs, nowMs);
        if (reason != EndReason::Running) return reason;
        if (!tickDue) return EndReason::Duration;
        const int64_t tickStart = nowMs;
        TickRecord r = TickSession(rec.context);
        rec.Apply(r);
        if (r.stopped) return EndReason::TargetEnded;
        if (rec.OverBudget(r)) return EndReason::Budget;
        if (pacing.nextMs >= endMs) return EndReason::Duration;
        const int64_t tickEnd = nowMs = MonotonicMs();
        if (NoteTick(pacing, tickStart, tickEnd))
            rec.Tell(
                FilledText(TextId::SampleOverran, {std::to_string(tickEnd - tickStart), std::to_string(rec.intervalMs),
                                                   std::to_string(SuggestedIntervalMs(tickEnd - tickStart))}));
    }
}

int Finish(Recording& rec, std::FILE* out, int64_t startUnix, EndReason end) {
    if (rec.options.includeChildren) RenameMembers(rec.members, rec.family.Members());
    if (rec.context.session.active) rec.Apply(StopSession(rec.context));
    rec.facts.end = std::time(nullptr);
    if (rec.lineShown) std::fputc('\n', rec.err);
    if (rec.child.pid > 0) EndChild(rec.child, rec.signals.fd);
    rec.TellLogFailure(CloseMonitorLog(rec.members.csv), rec.childrenCsvFailed);
    std::string childEnd = ChildEndText(rec.child);
    if (!childEnd.empty()) Say(rec.err, childEnd);
    PhaseAnalysis analysis = AnalyzeHistory(rec.context.history);
    Text report = PhaseAnalysisReport(analysis);
    StacksReport stacks;
    bool stacksFileFailed = false;
    if (rec.options.stacks) {
        stacks = SummarizeStacks(rec.stacks, analysis, rec.context.history);
        report = ReportWithStacks(report, stacks);
        rec.facts.stacks = &stacks;
        stacksFileFailed = !WriteStacksFile(rec.stacks, rec.options.stacksPath, rec.err);
    }
    rec.facts.start = startUnix;
    rec.facts.sampleCount = rec.samples;
    rec.facts.endReason = EndReasonName(end);
    rec.facts.ticksLate = rec.pacing.late;
    rec.facts.ticksSkipped = rec.pacing.skipped;
    // The history holds the last samples: the span the analysis reads.
    rec.facts.spanOf = rec.samples;
    rec.facts.spanLast = rec.samples;
    rec.facts.spanFirst = std::max<int64_t>(1, rec.samples - HistorySlotCount + 1);
    const int status = PrintResult(rec.options, rec.context.history, analysis, report, rec.facts, out, rec.err);
    const bool fileFailed = rec.logFailed || rec.childrenCsvFailed || stacksFileFailed;
    if (status == ExitLoadError || fileFailed || end == EndReason::Error) return ExitLoadError;
    return end == EndReason::Budget ? ExitBudgetExceeded : status;
}

// Ends a recording that could not begin: the command (if any) ended and reaped, the message said.
int Abandon(Recording& rec, const std::string& why) {
    if (rec.context.session.active) StopSession(rec.context);
    if (rec.child.pid > 0) EndChild(rec.child, rec.signals.fd);
    CloseMonitorLog(rec.members.csv);
    if (!why.empty()) Say(rec.err, why);
    return ExitLoadError;
}

}  // namespace

int RunRecording(const CliOptions& options, std::FILE* out, std::FILE* err) {
    LoadStringTable(DetectLanguage());
    Recording rec(options, err);
    Configure(rec);
    int32_t pid = options.pid;
    if (!options.command.empty()) {
        std::string why;
        const ChildSetup setup = options.stacks ? PrepareStacks(rec.stacks, options) : ChildSetup{};
        if (!StartChild(options.command, rec.child, why, setup))
            return Abandon(rec, FilledText(TextId::CannotStartCommandPrefix) + options.command.front() + ": " + why);
        pid = rec.child.pid;
    }
    std::string why;
    if (!ChooseTarget(rec, pid, why)) return Abandon(rec, why);
    if (!options.childrenCsvPath.empty()) {
        const Text path = TextFromUtf8(options.childrenCsvPath);
        rec.TellLogFailure(CreateChildrenCsv(rec.members, path), rec.childrenCsvFailed);
        if (rec.childrenCsvFailed) return Abandon(rec, std::string());
    }
    const int64_t startUnix = std::time(nullptr);
    const int64_t startMs = rec.startMs = MonotonicMs();
    TickRecord start = StartSession(rec.context, !options.csvPath.empty());
    rec.Apply(start);
    if (start.logFailure.Failed() && start.logFailure.creating) return Abandon(rec, std::string());
    if (!start.ticked)
        return Abandon(rec, FilledText(TextId::CannotReadProcessPrefix) + std::to_string(pid) +
                                FilledText(TextId::ProcessEndedSuffix));
    const EndReason end = rec.OverBudget(start) ? EndReason::Budget : RunTicks(rec, startMs);
    // A target that ends before the duration asked for: a recording cut short, not a complete one.
    if (end == EndReason::TargetEnded && options.durationSec > 0)
        rec.Tell(FilledText(TextId::TargetEndedAfter, {Figure("%.1f", double(MonotonicMs() - startMs) / 1000.0)}));
    return Finish(rec, out, startUnix, end);
}
