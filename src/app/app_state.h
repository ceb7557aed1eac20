// The application's state: one record for the whole run, created by the start-up with the start
// values below and handed to every handler. Nothing of it is saved between runs.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"
#include "runtime/text.h"

class SleepWakeObserver;
struct HelpPopover;

// The three leak settings begin every run at the Default profile's values.
struct LeakSettings {
    int64_t refreshIntervalMs = 1000;
    int64_t streakThreshold = 3;
    float growthLimitMB = 200.0f;
};

// The monitoring session's own state (baseline, streak, peak, badge, the open log) joins this
// record when the session is wired in; the window needs only these two flags of it.
struct SessionFlags {
    bool active = false;
    bool paused = false;
};

struct AppState {
    int32_t targetPid = -1;      // -1: no process chosen
    Text targetName;             // its display name; empty keeps Start disabled
    uint64_t targetStartTime = 0;  // with the PID it names one process for good
    LeakSettings settings;
    bool dockStatsEnabled = true;
    bool csvOutputEnabled = false;
    SessionFlags session;
    SampleHistory& history = AppSampleHistory();
    HelpPopover* glossaryPopover = nullptr;      // created on the first "?" click
    SleepWakeObserver* sleepWakeObserver = nullptr;  // none without logind
};
