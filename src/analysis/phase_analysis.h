// The phase analysis: a history in, the complete report text out.
#pragma once

#include "monitor/sample_history.h"
#include "runtime/text.h"

// The report of a history, or text 30 alone when fewer than three slots hold a footprint. Leaves
// the history unchanged.
Text RunPhaseAnalysis(const SampleHistory& history);
// The report of the application's history.
Text RunPhaseAnalysis();
