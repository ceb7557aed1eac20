#include "analysis/report_text.h"

#include <cmath>

#include "analysis/signed_text.h"
#include "analysis/verdict.h"
#include "strings/stringtable.h"

namespace {

const char16_t* const LineEnd = u"\r\n";
const char16_t* const ColumnJoin = u" | ";

Text Banner() { return Text(106, u'=') + LineEnd; }
Text Separator() { return Text(96, u'-') + LineEnd; }

// The fixed head of the table; English in every language. The header's bars line up with the
// rows' bars, the ruler's stand one position to their left.
Text TableHead() {
    Text title = Text(40, u' ') + u"MEMORY PHASE ANALYSIS REPORT" + Text(38, u' ') + LineEnd;
    Text header = LSet(u"Phase / Time Range", 63) +
                  u"| Memory Footprint   | Phase Delta | Rate (MB/s)     | Behavior Note" + LineEnd;
    Text ruler = Text(62, u'-') + u'|' + Text(20, u'-') + u'|' + Text(13, u'-') + u'|' + Text(17, u'-') + u'|' +
                 Text(27, u'-') + LineEnd;
    return Banner() + title + Banner() + header + ruler;
}

Text FootprintColumn(const PhaseRow& row) {
    if (std::fabs(static_cast<double>(row.startMB) - static_cast<double>(row.endMB)) < 0.1)
        return StrF(row.startMB, 1) + u" MB";
    return StrF(row.startMB, 1) + u" \u2192 " + StrF(row.endMB, 1) + u" MB";
}

}  // namespace

Text PhaseLabel(const PhaseRow& row) {
    return LookupText(PhaseNameId(row.kind)) + u" (" + row.startTime + u"\u2013" + row.endTime + u")";
}

Text FormatPhaseRow(const PhaseRow& row) {
    return LSet(PhaseLabel(row), PhaseLabelWidth) + ColumnJoin + LSet(FootprintColumn(row), FootprintWidth) + ColumnJoin +
           LSet(SignedStrF(row.deltaMB, 1) + u" MB", DeltaWidth) + ColumnJoin +
           LSet(SignedStrF(row.rateMBs, 2) + u" MB/s", RateWidth) + ColumnJoin + LookupText(row.noteId) + LineEnd;
}

Text BuildReportText(const SegmentationResult& result, TextView evidence) {
    Text report = TableHead();
    for (const PhaseRow& row : result.rows) report += FormatPhaseRow(row);
    report += LineEnd + Separator();
    report += LookupText(TextId::VerdictHeading) + LineEnd;
    report += Separator();
    report += evidence;
    report += Banner();
    return report;
}

Text BuildReportText(const SegmentationResult& result) { return BuildReportText(result, VerdictEvidenceText(result)); }
