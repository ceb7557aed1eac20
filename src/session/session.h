// The monitoring session: Start, a tick per timer event, Stop, pause and resume, and the options
// that touch a running session. Each operation changes the session and returns a TickRecord of
// what the window (or the recorder) should show; nothing here draws or knows of gadgets.
#pragma once

#include <cstdint>
#include <optional>

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
// A tick whose footprint is at most this far from the footprint at the start of the current
// stable run counts as stable.
inline constexpr double StableToleranceMB = 10.0;
// The stable tick that re-anchors the baseline is the one that finds this many before it.
inline constexpr int64_t StableTicksBeforeReanchor = 14;

// The session state. One lives for the whole application: stableCount, stableRefMB (the footprint
// where the current stable run began) and badgeText carry over from one session to the next.
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
    Text badgeText;
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
};

// --- What an operation changed -----------------------------------------------------------------

// The statistics panel, labels 8 to 16.
struct PanelTexts {
    Text virtualRam, footprint, delta, peak, threads, pageFaults, pageIns, cowFaults, lastUpdated;
};

// The alert labels 17 to 19 and the details text of label 20.
struct AlertTexts {
    Text streak, growth, status, details;
};

// The buttons a session switches: Start 22, Pause/Resume 23, Stop 24, Analyze 32, profile list 36.
struct ControlStates {
    bool startEnabled{}, pauseEnabled{}, stopEnabled{}, analyzeEnabled{}, profileEnabled{};
};

enum class TimerChange { None, Arm, Remove };

// Fields left empty (std::nullopt) are unchanged.
struct TickRecord {
    bool ticked{};  // a sample was taken and the panel, alerts, log and history moved on
    std::optional<PanelTexts> panel;
    std::optional<AlertTexts> alerts;
    std::optional<Text> status;        // status line 27
    std::optional<Text> pauseCaption;  // button 23
    std::optional<ControlStates> controls;
    std::optional<bool> statListEnabled;  // list 39
    std::optional<Text> badge;  // the badge to show; the empty text removes it
    std::optional<int64_t> refreshIntervalMs;  // slider 26 and label 33
    TimerChange timer{TimerChange::None};
    int64_t timerIntervalMs{};  // with TimerChange::Arm

    // The figures of a tick, for faces that show them their own way.
    bool streakAlert{}, growthAlert{}, alertTick{};
    float virtualMB{}, footprintMB{}, deltaMB{}, peakMB{};
    int64_t streak{};
    std::optional<HistoryPoint> point;  // appended to the history
    Text logRow;                        // written to the log; empty when none was

    // The session ended here (Stop, or the target's end). The report is shown when not empty.
    bool stopped{};
    bool targetEnded{};  // the target could not be read or its PID belongs to another process now
    Text report;

    // A message requester to show: title and message. Set for Start without a target and, once
    // per log, for a log that could not be created or written.
    Text errorTitle;
    Text errorMessage;
    LogFailure logFailure;
};

// --- Operations ----------------------------------------------------------------------------------

// The chosen process (the picker's row, the recorder's target); the session keeps the PID, the
// name and the start time, and holds the process (see OpenHeldTarget) through the context's
// provider if it still is the one that started then.
void SetMonitorTarget(SessionContext& context, const ProcessDescription& target);

// Start: a baseline sample, the session's figures reset (stableCount and stableRefMB stay), a new
// log when the CSV option is on, one tick at once and the timer armed. Without a target only the
// error message is returned. csvChecked is the state of the CSV checkbox.
TickRecord StartSession(SessionContext& context, bool csvChecked);
// One timer tick. Nothing happens while the session is idle or paused. A target that cannot be
// read any more stops the session (with its report) and sets status text 74.
TickRecord TickSession(SessionContext& context);
// Stop: the report of an active session, the timer removed, the log closed, the labels and
// buttons of the idle window. Also right for an idle session (the quit sequence calls it).
TickRecord StopSession(SessionContext& context);

// Pause/Resume button: toggles pause during a session.
TickRecord TogglePause(SessionContext& context);
// System sleep pauses and wake resumes a session (also one the user paused); idle: nothing.
TickRecord SystemWillSleep(SessionContext& context);
TickRecord SystemDidWake(SessionContext& context);

// The slider value snapped to the nearest multiple of 500 (halves up).
int64_t SnapRefreshInterval(int64_t sliderValue);
// Label 33 for an interval: "1500 ms".
Text RefreshIntervalText(int64_t intervalMs);
// Refresh slider: the snapped interval becomes the setting; the timer is re-armed when a
// session runs unpaused.
TickRecord SetRefreshInterval(SessionContext& context, int64_t sliderValue);
// CSV checkbox: rows on or off; never creates or closes the log.
void SetCsvOutput(SessionContext& context, bool checked);
// Dock Stats checkbox: inverts the setting; list 39 follows; off removes the badge.
TickRecord ToggleDockStats(SessionContext& context);
// Stat list 39: the badge shows the chosen statistic at once (0.00 for footprint and delta until
// the next tick, the peak as it stands).
TickRecord SelectDockStat(SessionContext& context, int64_t item);

// The badge text of an MB value: "212.75 MB".
Text BadgeText(float valueMB);
// The main window's title: "Quolk <version> — " and the badge while a badge is shown, else
// "Quolk <version>".
Text WindowTitle(TextView badge);

// The sample of the target, the one place where the session reads the process: through the held
// target, so that a PID taken over by another process reads as the target's end.
bool ReadTargetSample(SessionContext& context, MemorySample& out);
