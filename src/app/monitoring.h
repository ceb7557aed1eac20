// The main window's side of the monitoring session: the handlers the event loop calls for Start,
// Pause/Resume, Stop, the session's options, its timer and the system's sleep and wake. Each asks
// the session core and shows the tick record it returns.
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "session/session.h"

// The window timer that drives the session's ticks.
inline constexpr int64_t MonitorTimer = 47;
// Program-defined events of the sleep/wake observer.
inline constexpr int32_t EventSystemWillSleep = 1068;
inline constexpr int32_t EventSystemDidWake = 1069;

bool SessionActive(const AppState& state);

// Browse (5): the picker sheet; a chosen process becomes the target. Afterwards, whenever a target
// is set (also after Cancel), label 7 names it, the status line shows its PID and Start is enabled.
void BrowseClicked(AppState& state);
// Analyze... (32): a saved log into the history, and its report.
void AnalyzeClicked(AppState& state);

// Start (22): the error message without a target; otherwise the session starts, ticks once and
// arms the timer.
void StartMonitoring(AppState& state);
// Timer 47: one tick; the target's end stops the session and shows its report.
void MonitorTick(AppState& state);
// Stop (24): ends a session (a running one is analysed and reported) and puts the alert labels, the
// status line and the buttons back to idle. Also called by the quit sequence, with or without a
// session.
void StopMonitoring(AppState& state);
// Pause/Resume (23).
void PauseResumeClicked(AppState& state);
// The refresh-rate slider (26): the value snapped to the nearest multiple of 500 (halves up)
// becomes the interval, shown on the slider and its label; a running, unpaused session's timer
// takes it at once.
void RefreshSliderMoved(AppState& state);
// The CSV checkbox (25): its state switches the rows of a running session's log.
void CsvOptionClicked(AppState& state);
// The Dock Stats checkbox (38): the option flips; the statistic list (39) follows it.
void DockStatsClicked(AppState& state);
// The statistic list (39), on a new selection: the badge shows that statistic at once.
void DockStatSelected(AppState& state);
// The system goes to sleep (true) or woke (false). Ignored when no session is active.
void SystemSleepChanged(AppState& state, bool goingToSleep);

// Shows what the core did, as its view tells: labels, buttons, title, timer, graph, then any error
// message and, last, the report (which runs its own loop until the user closes it).
void ApplyTickRecord(AppState& state, const TickRecord& record);
