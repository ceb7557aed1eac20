#include "session/session_view.h"

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

Text Formatted(Text (*format)(int64_t), int64_t value) { return format ? format(value) : Text(); }

PanelTexts Panel(const SessionFormatter& format, const TickFigures& f) {
    PanelTexts panel;
    panel.virtualRam = Formatted(format.byteCount, f.virtualBytes);
    panel.footprint = BadgeText(f.footprintMB);
    panel.delta = BadgeText(f.deltaMB);
    panel.peak = BadgeText(f.peakMB);
    panel.threads = Str(f.threads);
    panel.pageFaults = Formatted(format.groupedCount, f.pageFaults);
    panel.pageIns = Formatted(format.groupedCount, f.pageIns);
    panel.cowFaults = Formatted(format.groupedCount, f.cowFaults);
    panel.lastUpdated = FormatDate(u"%hh:%ii:%ss", f.time);
    return panel;
}

AlertTexts Alerts(const SessionSettings& settings, const TickFigures& f) {
    AlertTexts alerts;
    alerts.streak = LookupText(f.streakAlert ? TextId::StreakWarning : TextId::StreakNormal);
    alerts.growth = LookupText(f.growthAlert ? TextId::GrowthExceeded : TextId::GrowthNormal);
    alerts.status = LookupText(f.AlertTick() ? TextId::StatusAlert : TextId::StatusNominal);
    alerts.details = AlertDetailsText(settings, f);
    return alerts;
}

// The badge of a tick: the chosen statistic, or none shown while Dock Stats is off.
std::optional<Text> TickBadge(const SessionSettings& settings, const TickFigures& f) {
    if (!settings.dockStatsEnabled) return Text();
    switch (settings.dockStatItem) {
        case 0: return BadgeText(f.footprintMB);
        case 1: return BadgeText(f.peakMB);
        case 2: return BadgeText(f.deltaMB);
        default: return std::nullopt;
    }
}

void ArmTimer(const SessionSettings& settings, SessionView& v) {
    v.timer = TimerChange::Arm;
    v.timerIntervalMs = settings.refreshIntervalMs;
}

// The window of a session that went idle: Stop, or the target's end.
void ShowIdle(const SessionSettings& settings, bool targetEnded, SessionView& v) {
    v.timer = TimerChange::Remove;
    if (settings.dockStatsEnabled) v.badge = Text();
    v.alerts = IdleAlerts();
    v.status = LookupText(targetEnded ? TextId::StatusProcessEnded : TextId::StatusStopped);
    v.controls = IdleControls();
    v.pauseCaption = LookupText(TextId::Pause);  // a paused session's Resume goes with it
}

// The options that touch a running session: pause, interval, Dock Stats and its statistic.
void ShowOptions(const SessionContext& context, const TickRecord& r, SessionView& v) {
    const SessionSettings& settings = context.settings;
    const MonitorSession& s = context.session;
    if (r.pauseChanged) {
        v.pauseCaption = LookupText(s.paused ? TextId::Resume : TextId::Pause);
        v.status = LookupText(s.paused ? TextId::StatusPaused : TextId::StatusMonitoring);
    }
    if (r.intervalChanged) {
        v.refreshIntervalMs = settings.refreshIntervalMs;
        if (s.active && !s.paused) ArmTimer(settings, v);
    }
    if (r.dockStatsChanged) {
        v.statListEnabled = settings.dockStatsEnabled;
        if (!settings.dockStatsEnabled) v.badge = Text();
    }
    // 0.00 for footprint and delta until the next tick, the peak as it stands.
    if (r.dockStatChanged) v.badge = BadgeText(settings.dockStatItem == 1 ? s.peakMB : 0.0f);
}

// Tells the user once per log; later failures of the same log are the same story.
void ShowLogFailure(const LogFailure& failure, SessionView& v) {
    v.errorTitle = LookupText(TextId::ErrorTitle);
    v.errorMessage = LookupText(failure.creating ? TextId::CsvLogCannotCreate : TextId::CsvLogWriteFailed) +
                     u"\n" + failure.path + u"\n" + failure.reason + u"\n" + LookupText(TextId::CsvLogGoesOn) +
                     u"\n";
}

}  // namespace

SessionView SessionViewOf(const SessionContext& context, const TickRecord& r) {
    const SessionSettings& settings = context.settings;
    SessionView v;
    if (r.noTarget) {
        v.errorTitle = LookupText(TextId::ErrorTitle);
        v.errorMessage = LookupText(TextId::SelectProcessFirst) + u"\n";
        return v;
    }
    if (r.started) {
        v.alerts = StartAlerts();
        v.pauseCaption = LookupText(TextId::Pause);
        v.controls = RunningControls();
        v.status = LookupText(TextId::StatusMonitoring);
    }
    if (r.ticked) {
        v.panel = Panel(context.services.formatter, r.figures);
        v.alerts = Alerts(settings, r.figures);
        v.badge = TickBadge(settings, r.figures);
    }
    if (r.wentIdle) ShowIdle(settings, r.targetEnded, v);
    if (r.started && context.session.active) ArmTimer(settings, v);
    ShowOptions(context, r, v);
    if (r.logFailure.Failed()) ShowLogFailure(r.logFailure, v);
    return v;
}

Text BadgeText(float valueMB) { return StrF(valueMB, 2) + u" MB"; }

Text WindowTitle(TextView badge) {
    const Text title(QuolkNameAndVersionText);
    return badge.empty() ? title : title + u" \u2014 " + Text(badge);
}

Text RefreshIntervalText(int64_t intervalMs) { return Str(intervalMs) + u" ms"; }
