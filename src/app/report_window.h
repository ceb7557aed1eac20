// The report window (window 2): an analysis report as a phase list and a summary, with Copy Report.
// It is modal: the main window is disabled and the window's own loop runs until it is closed.
#pragma once

#include <cstdint>

#include "runtime/text.h"

inline constexpr int64_t ReportWindow = 2;
enum ReportGadget : int64_t {
    ReportPhaseList = 28,
    ReportSummary = 29,
    ReportCopy = 30,
    ReportClose = 31,
};

// The window's title: "Memory Phase Analysis" for a loaded log, "Memory Phase Analysis for " and
// the target's name after a session, empty after a session without a known name.
Text ReportWindowTitle(bool fromLogFile, TextView targetName);

// Shows the report over mainWindow and returns when the user closes it. Copy Report puts the text
// on the clipboard exactly as given. Returns at once, showing nothing, when the window cannot open.
void ShowAnalysisReport(TextView reportText, bool fromLogFile, TextView targetName, int64_t mainWindow);
