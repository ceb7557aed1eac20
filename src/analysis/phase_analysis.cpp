#include "analysis/phase_analysis.h"

#include "analysis/report_text.h"
#include "strings/stringtable.h"

PhaseAnalysis AnalyzeHistory(const SampleHistory& history) {
    PhaseAnalysis analysis;
    for (int64_t i = 0; i < static_cast<int64_t>(history.slots.size()); ++i)
        if (IsActive(history.slots[i])) ++analysis.activeSlots;
    if (!SegmentHistory(history, analysis.segmentation)) return analysis;
    analysis.analysed = true;
    analysis.metrics = ComputeVerdictMetrics(analysis.segmentation);
    analysis.choice = ChooseVerdict(analysis.segmentation, analysis.metrics);
    return analysis;
}

Text PhaseAnalysisReport(const PhaseAnalysis& analysis) {
    if (!analysis.analysed) return LookupText(TextId::InsufficientData);
    return BuildReportText(analysis.segmentation,
                           VerdictEvidenceText(analysis.segmentation, analysis.metrics, analysis.choice));
}

const char* AnalysisVerdictName(const PhaseAnalysis& analysis) {
    return analysis.analysed ? VerdictMachineName(analysis.choice.verdict) : "insufficient_data";
}

Text RunPhaseAnalysis(const SampleHistory& history) { return PhaseAnalysisReport(AnalyzeHistory(history)); }

