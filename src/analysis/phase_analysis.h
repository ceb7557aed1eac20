// The phase analysis: a history in; the phases, the verdict and its figures out as data, and the
// complete report text written from that data.
#pragma once

#include "analysis/phase_segmentation.h"
#include "analysis/verdict.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"

// One analysis of a history. The report text and the machine-readable summary are both rendered
// from this record, so they can never disagree.
struct PhaseAnalysis {
    bool analysed{};  // false when fewer than three slots hold a footprint; the rest is then empty
    int64_t activeSlots{};
    SegmentationResult segmentation;
    VerdictMetrics metrics;
    VerdictChoice choice;
};

// Segments the history and chooses the verdict. Leaves the history unchanged.
PhaseAnalysis AnalyzeHistory(const SampleHistory& history);
// The report of an analysis, or text 30 alone when it was not analysed.
Text PhaseAnalysisReport(const PhaseAnalysis& analysis);
// "insufficient_data" when not analysed, else the verdict's machine name.
const char* AnalysisVerdictName(const PhaseAnalysis& analysis);

// The report of a history, or text 30 alone when fewer than three slots hold a footprint. Leaves
// the history unchanged.
Text RunPhaseAnalysis(const SampleHistory& history);
