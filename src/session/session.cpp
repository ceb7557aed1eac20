#include "session/session.h"

#include <cmath>

#include "analysis/phase_analysis.h"
#include "quolk_version.h"
#include "strings/stringtable.h"

namespace {

AlertTexts StartAlerts() {
    return {LookupText(TextId::StreakNormal), LookupText(TextId::GrowthNormal), LookupText(TextId::StatusNominal),
            LookupText(TextId::InitializingBaseline)};
}
AlertTexts IdleAlerts() {
    return {LookupText(TextId::StreakIdle), LookupText(TextId::GrowthIdle), LookupText(TextId::StatusIdle),
            LookupText(TextId::SessionCompleted)};
}

ControlStates RunningControls() { return {false, true, true, false, false}; }
ControlStates IdleControls() { return {true, false, false, true, true}; }

Text MBText(float valueMB) { return StrF(valueMB, 2) + u" MB"; }

Text Formatted(Text (*format)(int64_t), int64_t value) { return format ? format(value) : Text(); }

// Tells the user once per log; later failures of the same log are the same story.
void NoteLogFailure(TickRecord& record, LogFailure failure) {
    if (!failure.Failed() || record.logFailure.Failed()) return;
    record.errorTitle = LookupText(TextId::ErrorTitle);
    record.errorMessage = LookupText(failure.creating ? TextId::CsvLogCannotCreate : TextId::CsvLogWriteFailed) +
                          u"\n" + failure.path + u"\n" + failure.reason + u"\n" + LookupText(TextId::CsvLogGoesOn) +
                          u"\n";
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

PanelTexts Panel(const SessionContext& context, const MemorySample& sample, const TickRecord& r,
                 DateValue now) {
    const MonitorSession& s = context.session;
    const SessionFormatter& format = context.services.formatter;
    PanelTexts panel;
    panel.virtualRam = Formatted(format.byteCount, sample.virtualBytes);
    panel.footprint = MBText(r.footprintMB);
    panel.delta = MBText(r.deltaMB);
    panel.peak = MBText(r.peakMB);
    panel.threads = Str(sample.threadCount);
    panel.pageFaults = Formatted(format.groupedCount, int64_t(sample.pageFaults) - int64_t(s.basePageFaults));
    panel.pageIns = Formatted(format.groupedCount, int64_t(sample.pageIns) - int64_t(s.basePageIns));
    panel.cowFaults = Formatted(format.groupedCount, int64_t(sample.cowFaults) - int64_t(s.baseCowFaults));
    panel.lastUpdated = FormatDate(u"%hh:%ii:%ss", now);
    return panel;
}

// The two alarms: a streak of rises at or above the threshold, and growth over the baseline of at
// least the limit.
void EvaluateAlerts(const SessionContext& context, int64_t deltaBytes, TickRecord& r) {
    const SessionSettings& settings = context.settings;
    Text details;
    r.streakAlert = r.streak >= settings.streakThreshold;
    if (r.streakAlert) details = LookupText(TextId::StreakPrefix) + Str(r.streak) + LookupText(TextId::StreakSuffix);
    r.growthAlert = double(deltaBytes) >= double(settings.growthLimitMB) * 1048576.0;
    if (r.growthAlert) details += LookupText(TextId::GrowthPrefix) + StrF(settings.growthLimitMB, 0) + u" MB] ";
    r.alertTick = r.streakAlert || r.growthAlert;
    AlertTexts alerts;
    alerts.streak = LookupText(r.streakAlert ? TextId::StreakWarning : TextId::StreakNormal);
    alerts.growth = LookupText(r.growthAlert ? TextId::GrowthExceeded : TextId::GrowthNormal);
    alerts.status = LookupText(r.alertTick ? TextId::StatusAlert : TextId::StatusNominal);
    alerts.details = r.alertTick ? details : LookupText(TextId::FootprintStable);
    r.alerts = std::move(alerts);
}

void UpdateBadge(SessionContext& context, TickRecord& r) {
    MonitorSession& s = context.session;
    if (!context.settings.dockStatsEnabled) {
        r.badge = Text();
        return;
    }
    switch (context.settings.dockStatItem) {
        case 0: s.badgeText = BadgeText(r.footprintMB); break;
        case 1: s.badgeText = BadgeText(r.peakMB); break;
        case 2: s.badgeText = BadgeText(r.deltaMB); break;
        default: return;
    }
    r.badge = s.badgeText;
}

void Stop(SessionContext& context, TickRecord& r) {
    MonitorSession& s = context.session;
    r.stopped = s.active;
    if (s.active) r.report = RunPhaseAnalysis(context.history);
    s.active = false;
    r.timer = TimerChange::Remove;
    if (context.settings.dockStatsEnabled) r.badge = Text();
    NoteLogFailure(r, CloseMonitorLog(context.log));
    r.alerts = IdleAlerts();
    r.status = LookupText(TextId::StatusStopped);
    r.controls = IdleControls();
}

void Tick(SessionContext& context, TickRecord& r) {
    MonitorSession& s = context.session;
    if (!s.active || s.paused) return;
    MemorySample sample;
    if (!ReadTargetSample(context, sample)) {
        Stop(context, r);
        r.status = LookupText(TextId::StatusProcessEnded);
        r.targetEnded = true;
        return;
    }
    const DateValue now = context.services.clock ? context.services.clock() : Date();
    r.ticked = true;
    r.footprintMB = BytesToMB(sample.footprintBytes);
    ReanchorBaseline(s, sample, r.footprintMB);
    const int64_t deltaBytes = sample.footprintBytes - s.baselineFootprint;
    r.deltaMB = BytesToMB(deltaBytes);
    if (r.footprintMB > s.peakMB) s.peakMB = r.footprintMB;
    r.peakMB = s.peakMB;
    r.panel = Panel(context, sample, r, now);
    if (s.prevFootprint > 0) s.streak = sample.footprintBytes > s.prevFootprint ? s.streak + 1 : 0;
    s.prevFootprint = sample.footprintBytes;
    r.streak = s.streak;
    r.virtualMB = BytesToMB(sample.virtualBytes);
    EvaluateAlerts(context, deltaBytes, r);
    if (context.settings.csvOutputEnabled && context.log.file != 0 && !context.log.failed) {
        // The details text is the alert text on an alert tick and text 83 otherwise.
        r.logRow = MonitorLogRow(now, r.virtualMB, r.footprintMB, r.deltaMB, r.peakMB, r.alerts->details);
        NoteLogFailure(r, WriteMonitorLogRow(context.log, r.logRow, r.alertTick));
    }
    AppendHistoryPoint(context.history, now, r.footprintMB, r.virtualMB);
    r.point = HistoryPoint{now, r.footprintMB, r.virtualMB};
    UpdateBadge(context, r);
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

TickRecord StartSession(SessionContext& context, bool csvChecked) {
    TickRecord r;
    MonitorSession& s = context.session;
    if (s.targetPid < 1) {
        r.errorTitle = LookupText(TextId::ErrorTitle);
        r.errorMessage = LookupText(TextId::SelectProcessFirst) + u"\n";
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
    s.prevFootprint = 0;
    s.streak = 0;
    s.active = true;
    s.paused = false;
    context.settings.csvOutputEnabled = csvChecked;
    const DateValue now = context.services.clock ? context.services.clock() : Date();
    const bool chosenPath = csvChecked && !context.settings.csvPath.empty();
    NoteLogFailure(r, chosenPath ? CreateMonitorLogAt(context.log, context.settings.csvPath)
                                 : CreateMonitorLog(context.log, csvChecked, s.targetName, s.targetPid, now));
    r.alerts = StartAlerts();
    r.pauseCaption = LookupText(TextId::Pause);
    r.controls = RunningControls();
    r.status = LookupText(TextId::StatusMonitoring);
    Tick(context, r);
    if (s.active) {
        r.timer = TimerChange::Arm;
        r.timerIntervalMs = context.settings.refreshIntervalMs;
    }
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
    r.pauseCaption = LookupText(paused ? TextId::Resume : TextId::Pause);
    r.status = LookupText(paused ? TextId::StatusPaused : TextId::StatusMonitoring);
    return r;
}

}  // namespace

TickRecord TogglePause(SessionContext& context) { return SetPaused(context, !context.session.paused); }
TickRecord SystemWillSleep(SessionContext& context) { return SetPaused(context, true); }
TickRecord SystemDidWake(SessionContext& context) { return SetPaused(context, false); }

int64_t SnapRefreshInterval(int64_t sliderValue) { return (sliderValue + 250) / 500 * 500; }

Text RefreshIntervalText(int64_t intervalMs) { return Str(intervalMs) + u" ms"; }

TickRecord SetRefreshInterval(SessionContext& context, int64_t sliderValue) {
    TickRecord r;
    context.settings.refreshIntervalMs = SnapRefreshInterval(sliderValue);
    r.refreshIntervalMs = context.settings.refreshIntervalMs;
    if (context.session.active && !context.session.paused) {
        r.timer = TimerChange::Arm;
        r.timerIntervalMs = context.settings.refreshIntervalMs;
    }
    return r;
}

void SetCsvOutput(SessionContext& context, bool checked) { context.settings.csvOutputEnabled = checked; }

TickRecord ToggleDockStats(SessionContext& context) {
    TickRecord r;
    context.settings.dockStatsEnabled = !context.settings.dockStatsEnabled;
    r.statListEnabled = context.settings.dockStatsEnabled;
    if (!context.settings.dockStatsEnabled) r.badge = Text();
    return r;
}

TickRecord SelectDockStat(SessionContext& context, int64_t item) {
    TickRecord r;
    context.settings.dockStatItem = item;
    MonitorSession& s = context.session;
    if (item == 0 || item == 2)
        s.badgeText = BadgeText(0.0f);
    else if (item == 1)
        s.badgeText = BadgeText(s.peakMB);
    else
        return r;
    r.badge = s.badgeText;
    return r;
}

Text BadgeText(float valueMB) { return MBText(valueMB); }

Text WindowTitle(TextView badge) {
    const Text title(QuolkNameAndVersionText);
    return badge.empty() ? title : title + u" \u2014 " + Text(badge);
}
