#include "analysis/report_split.h"

#include "strings/stringtable.h"

namespace {

enum class SplitMode { None, Table, Summary };

// The table's ruler: the label column's dashes and the first bar.
const Text TableRuler = Text(62, u'-') + u"|";

bool IsRule(TextView line) { return line.starts_with(u"---") || line.starts_with(u"==="); }

bool IsBlank(TextView line) { return Trim(line).empty(); }

void AddTableLine(TextView line, std::vector<ReportRow>& rows) {
    if (IsRule(line) || IsBlank(line)) return;
    ReportRow row;
    for (int column = 0; column < ReportColumnCount; ++column)
        row[column] = Trim(StringField(line, column + 1, u"|"));
    if (!row[0].empty()) rows.push_back(std::move(row));
}

void AddSummaryLine(TextView line, Text& summary) {
    if (IsRule(line) || (summary.empty() && IsBlank(line))) return;
    // Blank lines collapse: a line break is added only where the summary does not end with one.
    if (!summary.empty() && !summary.ends_with(u"\r\n")) summary += u"\r\n";
    summary += line;
}

}  // namespace

ReportSplit SplitReport(TextView report) {
    ReportSplit split;
    const Text heading = LookupText(TextId::VerdictHeading);
    const Text text = RemoveString(report, u"\r");
    SplitMode mode = SplitMode::None;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(u'\n', start);
        if (end == Text::npos) end = text.size();
        const TextView line = TextView(text).substr(start, end - start);
        start = end + 1;
        if (FindString(line, heading) > 0) {
            mode = SplitMode::Summary;
            continue;
        }
        switch (mode) {
            case SplitMode::Table: AddTableLine(line, split.rows); break;
            case SplitMode::Summary: AddSummaryLine(line, split.summary); break;
            case SplitMode::None:
                if (FindString(line, TableRuler) > 0) mode = SplitMode::Table;
                break;
        }
    }
    if (Trim(split.summary).empty() && split.rows.empty()) split.summary = Text(report);
    return split;
}

Text SummaryFieldText(const ReportSplit& split) {
    return u"\n" + Trim(split.summary);
}
