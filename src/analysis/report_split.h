// A report text taken apart for the report window: the phase table's rows for the list, and the
// verdict section for the summary field. Copy Report keeps using the text itself.
#pragma once

#include <array>
#include <vector>

#include "runtime/text.h"

inline constexpr int ReportColumnCount = 5;
using ReportRow = std::array<Text, ReportColumnCount>;

struct ReportSplit {
    std::vector<ReportRow> rows;  // phase, footprint, delta, rate, note; blanks trimmed
    Text summary;                 // the verdict section, lines joined by CR LF
};

// The rows start after the table's ruler; the summary after the line holding the verdict heading
// (text 14 of the loaded language). A report with neither (the insufficient-data text) becomes
// the summary whole.
ReportSplit SplitReport(TextView report);

// What the summary field shows: a line feed, then the summary without surrounding blanks.
Text SummaryFieldText(const ReportSplit& split);
