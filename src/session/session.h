// The monitoring session: Start, a tick per timer event, Stop, pause and resume, and the options
// that touch a running session. Each operation changes the session and returns a TickRecord of
// what happened; what a face shows of it is session_view.h's. Nothing here draws or knows of
// gadgets.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"
#include "monitor/sampler.h"
#include "runtime/date.h"
#include "runtime/text.h"
#include "session/monitor_log.h"
#include "session/number_format.h"

// The leak settings and options a session runs with.
struct SessionSettings {
    int64_t refreshIntervalMs{1000};
    int64_t streakThreshold{3};
    float growthLimitMB{200.0f};
    bool csvOutputEnabled{false};
    bool dockStatsEnabled{true};
    int64_t dockStatItem{0};  // 0 footprint, 1 peak, 2 delta; anything else leaves the badge alone
    // Where the log goes when the CSV output is on: this path, or the home folder with the
    // generated name when empty (the window's way).
    Text csvPath;
};

inline constexpr int64_t MinRefreshIntervalMs = 500;
inline constexpr int64_t MaxRefreshIntervalMs = 5000;
// The slider's interval snaps to multiples of this.
inline constexpr int64_t RefreshIntervalStepMs = 500;
// A tick whose footprint is at most this far from the footprint at the start of the current
// stable run counts as stable.
inline constexpr double StableToleranceMB = 10.0;
// The stable tick that re-anchors the baseline is the one that finds this many before it.
inline constexpr int64_t StableTicksBeforeReanchor = 14;

// The session state. One lives for the whole application: stableCount and stableRefMB (the
// footprint where the current stable run began) carry over from one session to the next.
struct MonitorSession {
    bool active{};
    bool paused{};
    int64_t baselineFootprint{};
    int32_t basePageFaults{};
    int32_t basePageIns{};
    int32_t baseCowFaults{};
    float peakMB{};
    int64_t prevFootprint{};  // 0: no tick yet
    int64_t streak{};
    int64_t stableCount{};
    float stableRefMB{};
    // The log's alert column on a tick without alerts, quoted in UTF-8, taken when the session starts.
    std::string stableCsvField;
    // The target chosen in the picker. With the start time the PID names one process for good: a
    // PID that comes back with another start time is the target's end, not a new target.
    int32_t targetPid{-1};
    Text targetName;
    uint64_t targetStartTime{};  // 0: unknown, the PID alone names the target
    HeldTarget held;  // the target, held (pidfd) from the moment it is chosen until another is
};

// The injectable parts: the clock (local wall-clock seconds), the number formats and the process
// readings. The provider is set before the target is chosen: the held target keeps the one it
// was opened with.
struct SessionServices {
    DateValue (*clock)(){Date};
    SessionFormatter formatter{PlainFormatter()};
    ProcessProvider* processes{&SystemProcessProvider()};
};

// Everything one face of the application monitors with: the window and the recorder each own one,
// and nothing of it is shared with another.
struct SessionContext {
    SessionSettings settings;
    MonitorSession session;
    MonitorLog log;
    SampleHistory history;  // the session's points, or the log the window analysed last
    SessionServices services;
    // Off for a caller that judges the footprints by its own means: no tick then stores a point
    // in the history, and Stop writes no report.
    bool keepsHistory{true};
};

// --- What an operation did ----------------------------------------------------------------------
// A record of facts, and no texts but the report: what the window shows of it is made on demand
// by SessionViewOf (session/session_view.h), which the recorder asks only for its live line.

// The figures of one sample.
struct TickFigures {
    DateValue time{};  // the clock's time of the sample
    int64_t virtualBytes{};
    int32_t threads{};
    int64_t pageFaults{}, pageIns{}, cowFaults{};  // since the baseline
    float virtualMB{}, footprintMB{}, deltaMB{}, peakMB{};  // delta: over the baseline
    int64_t streak{};  // consecutive rises, this one included
    bool streakAlert{}, growthAlert{};
    bool AlertTick() const { return streakAlert || growthAlert; }
};

// What each operation sets (the rest stays false or empty):
//   StartSession        noTarget alone when no target is chosen. Otherwise started, the log's
//                       failure when it could not be created, and what its own first tick sets.
//   TickSession         ticked, the figures and the log's failure;
//                       or, when the target cannot be read, wentIdle, stopped, targetEnded and the
//                       report. Nothing while the session is idle or paused.
//   StopSession         wentIdle, also for an idle session; stopped and the report when a session
//                       was running; the log's failure when its last write failed.
//   TogglePause, SystemWillSleep, SystemDidWake
//                       pauseChanged, during a session only.
//   SetRefreshInterval  intervalChanged.
//   ToggleDockStats     dockStatsChanged.
//   SelectDockStat      dockStatChanged, for a statistic of the list (0 to 2).
struct TickRecord {
    bool noTarget{};  // Start without a target: nothing else happened
    bool started{};   // a session began: a new baseline, a new log when the CSV option is on
    bool ticked{};    // a sample was taken: the figures, the history, the log moved on
    TickFigures figures;
    bool wentIdle{};  // Stop ran or the target ended: the session is idle now
    bool stopped{};   // a running session ended here
    bool targetEnded{};  // the target could not be read or its PID belongs to another process now
    Text report;      // with stopped: the analysis of the session's history
    LogFailure logFailure;  // a log that could not be created or written; once per log
    bool pauseChanged{};
    bool intervalChanged{};
    bool dockStatsChanged{};
    bool dockStatChanged{};
};

// --- Operations ----------------------------------------------------------------------------------

// The chosen process (the picker's row, the recorder's target); the session keeps the PID, the
// name and the start time, and holds the process (see OpenHeldTarget) through the context's
// provider if it still is the one that started then.
void SetMonitorTarget(SessionContext& context, const ProcessDescription& target);

// Start: a baseline sample, the session's figures reset (stableCount and stableRefMB stay), a new
// log when the CSV option is on and one tick at once. csvChecked is the state of the CSV checkbox.
TickRecord StartSession(SessionContext& context, bool csvChecked);
// One timer tick. Nothing happens while the session is idle or paused. A target that cannot be
// read any more stops the session (with its report).
TickRecord TickSession(SessionContext& context);
// Stop: the report of an active session and the log closed. Also right for an idle session (the
// quit sequence calls it).
TickRecord StopSession(SessionContext& context);

// Pause/Resume button: toggles pause during a session.
TickRecord TogglePause(SessionContext& context);
// System sleep pauses and wake resumes a session (also one the user paused); idle: nothing.
TickRecord SystemWillSleep(SessionContext& context);
TickRecord SystemDidWake(SessionContext& context);

// The slider value snapped to the nearest multiple of 500 (halves up).
int64_t SnapRefreshInterval(int64_t sliderValue);
// Refresh slider: the snapped interval becomes the setting (and the timer's, when a session runs
// unpaused).
TickRecord SetRefreshInterval(SessionContext& context, int64_t sliderValue);
// CSV checkbox: rows on or off; never creates or closes the log.
void SetCsvOutput(SessionContext& context, bool checked);
// Dock Stats checkbox: inverts the setting.
TickRecord ToggleDockStats(SessionContext& context);
// Stat list 39: the statistic the badge shows from now on.
TickRecord SelectDockStat(SessionContext& context, int64_t item);

// The alert details of a tick, which label 20 shows and the log's row holds: the alarms' texts on
// an alert tick, the stable text otherwise.
Text AlertDetailsText(const SessionSettings& settings, const TickFigures& figures);

// The sample of the target, the one place where the session reads the process: through the held
// target, so that a PID taken over by another process reads as the target's end.
bool ReadTargetSample(SessionContext& context, MemorySample& out);
