#include "app/monitoring.h"

#include "app/main_window.h"
#include "strings/stringtable.h"
#include "toolkit/gadget.h"
#include "toolkit/timer.h"

bool SessionActive(const AppState& state) { return state.session.active; }

void StopMonitoring(AppState& state) {
    state.session.active = false;
    RemoveWindowTimer(MainWindow, MonitorTimer);
    SetGadgetText(GadgetStreakAlert, LookupText(64));
    SetGadgetText(GadgetGrowthAlert, LookupText(65));
    SetGadgetText(GadgetAlertStatus, LookupText(66));
    SetGadgetText(GadgetAlertDetails, LookupText(67));
    SetGadgetText(GadgetStatusLine, LookupText(68));
    DisableGadget(GadgetStart, 0);
    DisableGadget(GadgetStop, 1);
    DisableGadget(GadgetPause, 1);
    DisableGadget(GadgetAnalyze, 0);
    DisableGadget(GadgetProfileList, 0);
}

void RefreshSliderMoved(AppState& state) {
    const int64_t snapped = (GetGadgetState(GadgetRefreshSlider) + 250) / 500 * 500;
    state.settings.refreshIntervalMs = snapped;
    ShowRefreshInterval(snapped);
    UpdateProfileToolTip(state.settings);
    if (state.session.active && !state.session.paused) AddWindowTimer(MainWindow, MonitorTimer, snapped);
}

void CsvOptionClicked(AppState& state) {
    state.csvOutputEnabled = GetGadgetState(GadgetCsvOutput) == CheckBoxChecked;
}

void DockStatsClicked(AppState& state) {
    state.dockStatsEnabled = !state.dockStatsEnabled;
    DisableGadget(GadgetDockStatList, state.dockStatsEnabled ? 0 : 1);
}

void SystemSleepChanged(AppState& state, bool goingToSleep) {
    if (!state.session.active) return;
    state.session.paused = goingToSleep;
    SetGadgetText(GadgetPause, LookupText(goingToSleep ? 96 : 98));
    SetGadgetText(GadgetStatusLine, LookupText(goingToSleep ? 97 : 95));
}
