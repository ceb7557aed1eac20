#include "analysis/phase_analysis.h"

#include "analysis/phase_segmentation.h"
#include "analysis/report_text.h"
#include "strings/stringtable.h"

Text RunPhaseAnalysis(const SampleHistory& history) {
    SegmentationResult result;
    if (!SegmentHistory(history, result)) return LookupText(30);
    return BuildReportText(result);
}

Text RunPhaseAnalysis() { return RunPhaseAnalysis(AppSampleHistory()); }
