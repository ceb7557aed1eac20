// Analyze...: a saved monitor log chosen by the user, loaded into the history, analysed and shown
// in the report window.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"

// Asks for the log (cancelling ends it quietly), loads it into history, and shows either the
// error that stopped the load or the report over mainWindow.
void AnalyzeLogFile(SampleHistory& history, int64_t mainWindow);
