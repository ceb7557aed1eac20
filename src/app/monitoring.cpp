#include "app/monitoring.h"

#include <array>
#include <optional>
#include <utility>

#include "app/analyze_log.h"
#include "app/locale_formatter.h"
#include "app/main_window.h"
#include "app/process_picker.h"
#include "app/report_window.h"
#include "app/trend_graph.h"
#include "session/session_view.h"
#include "toolkit/application.h"
#include "toolkit/gadget.h"
#include "toolkit/requester.h"
#include "toolkit/timer.h"
#include "strings/stringtable.h"
#include "toolkit/window.h"

namespace {

void ShowPanel(const PanelTexts& panel) {
    const std::array<std::pair<int64_t, const Text*>, 9> labels = {{
        {GadgetVirtual, &panel.virtualRam},
        {GadgetFootprint, &panel.footprint},
        {GadgetDelta, &panel.delta},
        {GadgetPeak, &panel.peak},
        {GadgetThreads, &panel.threads},
        {GadgetPageFaults, &panel.pageFaults},
        {GadgetPageIns, &panel.pageIns},
        {GadgetCowFaults, &panel.cowFaults},
        {GadgetLastUpdated, &panel.lastUpdated},
    }};
    for (const auto& [gadget, text] : labels) SetGadgetText(gadget, *text);
}

void ShowAlerts(const AlertTexts& alerts) {
    SetGadgetText(GadgetStreakAlert, alerts.streak);
    SetGadgetText(GadgetGrowthAlert, alerts.growth);
    SetGadgetText(GadgetAlertStatus, alerts.status);
    SetGadgetText(GadgetAlertDetails, alerts.details);
}

void ShowControls(const ControlStates& c) {
    DisableGadget(GadgetStart, c.startEnabled ? 0 : 1);
    DisableGadget(GadgetPause, c.pauseEnabled ? 0 : 1);
    DisableGadget(GadgetStop, c.stopEnabled ? 0 : 1);
    DisableGadget(GadgetAnalyze, c.analyzeEnabled ? 0 : 1);
    DisableGadget(GadgetProfileList, c.profileEnabled ? 0 : 1);
}

void ApplyTimer(const SessionView& v) {
    if (v.timer == TimerChange::Arm) AddWindowTimer(MainWindow, MonitorTimer, v.timerIntervalMs);
    if (v.timer == TimerChange::Remove) RemoveWindowTimer(MainWindow, MonitorTimer);
}

// The window's byte and count formats are the desktop's; the core starts with the plain ones.
SessionContext& Monitor(AppState& state) {
    state.monitor.services.formatter = LocaleFormatter();
    return state.monitor;
}

}  // namespace

void ApplyTickRecord(AppState& state, const TickRecord& r) {
    const SessionView v = SessionViewOf(state.monitor, r);
    if (v.panel) ShowPanel(*v.panel);
    if (v.alerts) ShowAlerts(*v.alerts);
    if (v.pauseCaption) SetGadgetText(GadgetPause, *v.pauseCaption);
    if (v.status) SetGadgetText(GadgetStatusLine, *v.status);
    if (v.controls) ShowControls(*v.controls);
    if (v.statListEnabled) DisableGadget(GadgetDockStatList, *v.statListEnabled ? 0 : 1);
    if (v.refreshIntervalMs) {
        ShowRefreshInterval(*v.refreshIntervalMs);
        UpdateProfileToolTip(state.settings);
    }
    if (v.badge) SetWindowTitle(MainWindow, WindowTitle(*v.badge));
    ApplyTimer(v);
    if (r.ticked) DrawTrendGraph(GadgetTrendGraph, state.history, state.trendPlan);
    if (!v.errorMessage.empty()) {
        AlertAttention();
        // Monitoring goes on while the user reads it, as it says.
        MessageRequester(v.errorTitle, v.errorMessage, RequesterError | RequesterGoesOn);
    }
    if (!r.report.empty()) {
        Beep();
        ShowAnalysisReport(r.report, false, state.targetName, MainWindow);
    }
}

bool SessionActive(const AppState& state) { return state.session.active; }

void BrowseClicked(AppState& state) {
    const std::optional<ProcessDescription> picked = PickProcess(MainWindow);
    if (picked) SetMonitorTarget(state.monitor, *picked);
    if (state.targetPid <= 0) return;
    SetGadgetText(GadgetTargetName, state.targetName + u" (PID: " + Str(state.targetPid) + u")");
    SetGadgetText(GadgetStatusLine, LookupText(TextId::StatusSelectedPrefix) + Str(state.targetPid));
    DisableGadget(GadgetStart, 0);
    // The next step by keyboard: Return starts watching what was chosen.
    if (picked) SetActiveGadget(GadgetStart);
}

void AnalyzeClicked(AppState& state) { AnalyzeLogFile(state.history, MainWindow); }

void StartMonitoring(AppState& state) {
    const bool csvChecked = GetGadgetState(GadgetCsvOutput) == CheckBoxChecked;
    ApplyTickRecord(state, StartSession(Monitor(state), csvChecked));
    // The next step by keyboard: Return stops the session just started.
    if (SessionActive(state)) SetActiveGadget(GadgetStop);
}

void MonitorTick(AppState& state) { ApplyTickRecord(state, TickSession(Monitor(state))); }

void StopMonitoring(AppState& state) {
    ApplyTickRecord(state, StopSession(Monitor(state)));
    // Stop is disabled now; the focus goes back to where the next round begins.
    SetActiveGadget(GadgetStart);
}

void PauseResumeClicked(AppState& state) { ApplyTickRecord(state, TogglePause(state.monitor)); }

void RefreshSliderMoved(AppState& state) {
    ApplyTickRecord(state, SetRefreshInterval(state.monitor, GetGadgetState(GadgetRefreshSlider)));
}

void CsvOptionClicked(AppState& state) {
    SetCsvOutput(state.monitor, GetGadgetState(GadgetCsvOutput) == CheckBoxChecked);
}

void DockStatsClicked(AppState& state) { ApplyTickRecord(state, ToggleDockStats(state.monitor)); }

void DockStatSelected(AppState& state) {
    ApplyTickRecord(state, SelectDockStat(state.monitor, GetGadgetState(GadgetDockStatList)));
}

void SystemSleepChanged(AppState& state, bool goingToSleep) {
    ApplyTickRecord(state, goingToSleep ? SystemWillSleep(state.monitor) : SystemDidWake(state.monitor));
}
