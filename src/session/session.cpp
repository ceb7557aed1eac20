#include "session/session.h"

#include <cmath>

#include "analysis/phase_analysis.h"
#include "strings/stringtable.h"

namespace {

// Keeps the first failure of the operation: later failures of the same log are the same story.
void NoteLogFailure(TickRecord& record, LogFailure failure) {
    if (!failure.Failed() || record.logFailure.Failed()) return;
    record.logFailure = std::move(failure);
}

// Counts stable ticks and, on the fifteenth in a row, makes this sample the new baseline. A tick
// is measured against the footprint where its stable run began, not against the tick before, so
// that a steady leak of less than the tolerance a tick never passes as a plateau.
void ReanchorBaseline(MonitorSession& s, const MemorySample& sample, float footprintMB) {
    if (s.prevFootprint <= 0) return;
    if (s.stableCount == 0) s.stableRefMB = BytesToMB(s.prevFootprint);
    if (std::fabs(double(footprintMB) - double(s.stableRefMB)) > StableToleranceMB) {
        s.stableCount = 0;
        return;
    }
    const int64_t before = s.stableCount++;
    if (before < StableTicksBeforeReanchor) return;
    s.baselineFootprint = sample.footprintBytes;
    s.basePageFaults = sample.pageFaults;
    s.basePageIns = sample.pageIns;
    s.baseCowFaults = sample.cowFaults;
    s.stableCount = 0;
    s.streak = 0;
}

void Stop(SessionContext& context, TickRecord& r) {
    MonitorSession& s = context.session;
    r.wentIdle = true;
    r.stopped = s.active;
    if (s.active && context.keepsHistory) r.report = RunPhaseAnalysis(context.history);
    s.active = false;
    NoteLogFailure(r, CloseMonitorLog(context.log));
}

// The figures of a sample against the baseline, the peak and the streak, which move on with it,
// and the two alarms: a streak of rises at or above the threshold, and growth over the baseline of
// at least the limit.
TickFigures Figures(const SessionSettings& settings, MonitorSession& s, const MemorySample& sample,
                    DateValue now) {
    TickFigures f;
    f.time = now;
    f.footprintMB = BytesToMB(sample.footprintBytes);
    ReanchorBaseline(s, sample, f.footprintMB);
    const int64_t deltaBytes = sample.footprintBytes - s.baselineFootprint;
    f.deltaMB = BytesToMB(deltaBytes);
    if (f.footprintMB > s.peakMB) s.peakMB = f.footprintMB;
    f.peakMB = s.peakMB;
    f.virtualBytes = sample.virtualBytes;
    f.virtualMB = BytesToMB(sample.virtualBytes);
    f.threads = sample.threadCount;
    f.pageFaults = int64_t(sample.pageFaults) - int64_t(s.basePageFaults);
    f.pageIns = int64_t(sample.pageIns) - int64_t(s.basePageIns);
    f.cowFaults = int64_t(sample.cowFaults) - int64_t(s.baseCowFaults);
    if (s.prevFootprint > 0) s.streak = sample.footprintBytes > s.prevFootprint ? s.streak + 1 : 0;
    s.prevFootprint = sample.footprintBytes;
    f.streak = s.streak;
    f.streakAlert = f.streak >= settings.streakThreshold;
    f.growthAlert = double(deltaBytes) >= double(settings.growthLimitMB) * 1048576.0;
    return f;
}

void Tick(SessionContext& context, TickRecord& r) {
    MonitorSession& s = context.session;
    if (!s.active || s.paused) return;
    MemorySample sample;
    if (!ReadTargetSample(context, sample)) {
        Stop(context, r);
        r.targetEnded = true;
        return;
    }
    const DateValue now = context.services.clock ? context.services.clock() : Date();
    r.ticked = true;
    r.figures = Figures(context.settings, s, sample, now);
    const TickFigures& f = r.figures;
    if (context.settings.csvOutputEnabled && context.log.file != 0 && !context.log.failed) {
        // Most ticks raise no alert: their column is the text taken at the start, not looked up again.
        const std::string alerts = f.AlertTick() ? CsvQuotedUtf8(AlertDetailsText(context.settings, f)) : std::string();
        MonitorLog& log = context.log;
        FormatMonitorLogRow(log.row, now, f.virtualMB, f.footprintMB, f.deltaMB, f.peakMB,
                            f.AlertTick() ? alerts : s.stableCsvField);
        NoteLogFailure(r, WriteMonitorLogRow(log, log.row, f.AlertTick()));
    }
    if (context.keepsHistory) AppendHistoryPoint(context.history, now, f.footprintMB, f.virtualMB);
}

}  // namespace

void SetMonitorTarget(SessionContext& context, const ProcessDescription& target) {
    MonitorSession& session = context.session;
    session.targetPid = target.pid;
    session.targetName = target.name;
    session.targetStartTime = target.startTime;
    // Held from the moment it is chosen, so that the hold names the process the user saw.
    CloseHeldTarget(session.held);
    if (target.pid > 0) OpenHeldTarget(target.pid, target.startTime, session.held, *context.services.processes);
}

bool ReadTargetSample(SessionContext& context, MemorySample& out) {
    MonitorSession& session = context.session;
    // A target that could not be held when it was chosen is tried again, by its PID and start time.
    if (session.held.pid == 0 && session.targetPid > 0)
        OpenHeldTarget(session.targetPid, session.targetStartTime, session.held, *context.services.processes);
    return ReadHeldTargetSample(session.held, out);
}

Text AlertDetailsText(const SessionSettings& settings, const TickFigures& figures) {
    if (!figures.AlertTick()) return LookupText(TextId::FootprintStable);
    Text details;
    if (figures.streakAlert)
        details = LookupText(TextId::StreakPrefix) + Str(figures.streak) + LookupText(TextId::StreakSuffix);
    if (figures.growthAlert)
        details += LookupText(TextId::GrowthPrefix) + StrF(settings.growthLimitMB, 0) + u" MB] ";
    return details;
}

TickRecord StartSession(SessionContext& context, bool csvChecked) {
    TickRecord r;
    MonitorSession& s = context.session;
    if (s.targetPid < 1) {
        r.noTarget = true;
        return r;
    }
    MemorySample sample;
    // An unreadable target keeps the old baseline and history; the first tick then ends the session.
    if (ReadTargetSample(context, sample)) {
        s.baselineFootprint = sample.footprintBytes;
        s.basePageFaults = sample.pageFaults;
        s.basePageIns = sample.pageIns;
        s.baseCowFaults = sample.cowFaults;
        ClearHistory(context.history);
    }
    s.peakMB = 0.0f;
    s.stableCsvField = CsvQuotedUtf8(AlertDetailsText(context.settings, TickFigures{}));
    s.prevFootprint = 0;
    s.streak = 0;
    s.active = true;
    s.paused = false;
    context.settings.csvOutputEnabled = csvChecked;
    const DateValue now = context.services.clock ? context.services.clock() : Date();
    const bool chosenPath = csvChecked && !context.settings.csvPath.empty();
    NoteLogFailure(r, chosenPath ? CreateMonitorLogAt(context.log, context.settings.csvPath)
                                 : CreateMonitorLog(context.log, csvChecked, s.targetName, s.targetPid, now));
    r.started = true;
    Tick(context, r);
    return r;
}

TickRecord TickSession(SessionContext& context) {
    TickRecord r;
    Tick(context, r);
    return r;
}

TickRecord StopSession(SessionContext& context) {
    TickRecord r;
    Stop(context, r);
    return r;
}

namespace {

TickRecord SetPaused(SessionContext& context, bool paused) {
    TickRecord r;
    if (!context.session.active) return r;
    context.session.paused = paused;
    r.pauseChanged = true;
    return r;
}

}  // namespace

TickRecord TogglePause(SessionContext& context) { return SetPaused(context, !context.session.paused); }
TickRecord SystemWillSleep(SessionContext& context) { return SetPaused(context, true); }
TickRecord SystemDidWake(SessionContext& context) { return SetPaused(context, false); }

int64_t SnapRefreshInterval(int64_t sliderValue) {
    return (sliderValue + RefreshIntervalStepMs / 2) / RefreshIntervalStepMs * RefreshIntervalStepMs;
}

TickRecord SetRefreshInterval(SessionContext& context, int64_t sliderValue) {
    TickRecord r;
    context.settings.refreshIntervalMs = SnapRefreshInterval(sliderValue);
    r.intervalChanged = true;
    return r;
}

void SetCsvOutput(SessionContext& context, bool checked) { context.settings.csvOutputEnabled = checked; }

TickRecord ToggleDockStats(SessionContext& context) {
    TickRecord r;
    context.settings.dockStatsEnabled = !context.settings.dockStatsEnabled;
    r.dockStatsChanged = true;
    return r;
}

TickRecord SelectDockStat(SessionContext& context, int64_t item) {
    TickRecord r;
    context.settings.dockStatItem = item;
    r.dockStatChanged = item >= 0 && item <= 2;
    return r;
}
