// The application's state: one record for the whole run, created by the start-up with the start
// values below and handed to every handler. Nothing of it is saved between runs.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"
#include "presentation/trend_scale.h"
#include "runtime/text.h"
#include "session/session.h"

class SleepWakeObserver;
struct HelpPopover;

// The three leak settings (refresh interval, streak threshold, growth limit) are the session's
// own settings; they begin every run at the Default profile's values.
using LeakSettings = SessionSettings;

struct AppState {
    AppState() = default;
    AppState(const AppState&) = delete;  // the references below point into this one
    AppState& operator=(const AppState&) = delete;

    // The monitoring core's settings, session (with the target the picker chose), log and history.
    SessionContext monitor;
    MonitorSession& session = monitor.session;
    SessionSettings& settings = monitor.settings;
    int32_t& targetPid = monitor.session.targetPid;      // -1: no process chosen
    Text& targetName = monitor.session.targetName;       // its display name; empty keeps Start disabled
    uint64_t& targetStartTime = monitor.session.targetStartTime;  // with the PID it names one process for good
    SampleHistory& history = monitor.history;
    TrendPlan trendPlan;  // the trend graph's last picture, whose storage the next one reuses
    HelpPopover* glossaryPopover = nullptr;      // created on the first "?" click
    SleepWakeObserver* sleepWakeObserver = nullptr;  // none without logind
};
