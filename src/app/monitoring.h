// The main window's side of the monitoring session: the handlers the event loop calls for Start,
// Pause/Resume, Stop, the session's options, its timer and the system's sleep and wake.
#pragma once

#include <cstdint>

#include "app/app_state.h"

// The window timer that drives the session's ticks.
inline constexpr int64_t MonitorTimer = 47;
// Program-defined events of the sleep/wake observer.
inline constexpr int32_t EventSystemWillSleep = 1068;
inline constexpr int32_t EventSystemDidWake = 1069;

bool SessionActive(const AppState& state);

// Ends a session (a running one is analysed and reported) and puts the alert labels, the status
// line and the buttons back to idle. Also called by the quit sequence, with or without a session.
void StopMonitoring(AppState& state);
// The refresh-rate slider (26): the value snapped to the nearest multiple of 500 (halves up)
// becomes the interval, shown on the slider and its label.
void RefreshSliderMoved(AppState& state);
// The CSV checkbox (25): its state becomes the CSV option.
void CsvOptionClicked(AppState& state);
// The Dock Stats checkbox (38): the option flips; the statistic list (39) follows it.
void DockStatsClicked(AppState& state);
// The system goes to sleep (true) or woke (false). Ignored when no session is active.
void SystemSleepChanged(AppState& state, bool goingToSleep);
