// What the window shows of the monitoring session: the texts of the statistics panel and the
// alerts, the status line, the captions and states of the controls, the badge in the title and
// the timer, made from a tick record only when a face asks for them. The window asks after every
// operation; the recorder only for its live line on a terminal.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/text.h"
#include "session/session.h"

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

// What an operation changes in the window. Fields left empty (std::nullopt) are unchanged.
struct SessionView {
    std::optional<PanelTexts> panel;   // a sample was taken
    std::optional<AlertTexts> alerts;  // a sample, Start, or the session going idle
    std::optional<Text> status;        // status line 27
    std::optional<Text> pauseCaption;  // button 23
    std::optional<ControlStates> controls;
    std::optional<bool> statListEnabled;  // list 39
    std::optional<Text> badge;  // the badge to show in the title; the empty text removes it
    std::optional<int64_t> refreshIntervalMs;  // slider 26 and label 33
    TimerChange timer{TimerChange::None};
    int64_t timerIntervalMs{};  // with TimerChange::Arm
    // A message requester to show: title and message. Start without a target, and once per log,
    // a log that could not be created or written.
    Text errorTitle;
    Text errorMessage;
};

// The view of what an operation did. It reads the session's settings and state as they are now
// (the badge's statistic, whether the session runs or is paused, the formats): ask right after
// the operation, before the next one.
SessionView SessionViewOf(const SessionContext& context, const TickRecord& record);

// The badge text of an MB value: "212.75 MB".
Text BadgeText(float valueMB);
// The main window's title: "Quolk <version> — " and the badge while a badge is shown, else
// "Quolk <version>".
Text WindowTitle(TextView badge);
// Label 33 for an interval: "1500 ms".
Text RefreshIntervalText(int64_t intervalMs);
