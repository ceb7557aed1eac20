#include "analysis/report_split.h"

#include <gtest/gtest.h>

#include "analysis/analysis_test_support.h"

using namespace analysis_test;

using ReportSplitting = EnglishTest;

// Rows after the ruler, the summary after the verdict heading; separators, banners and runs of
// blank lines never reach the summary; kept lines are joined by CR LF.
TEST_F(ReportSplitting, RowsFromTheTableAndTheVerdictSectionAsSummary) {
    const Text banner = Text(106, u'=') + u"\r\n", ruler = Text(96, u'-') + u"\r\n";
    const struct { const char* name; Text report; std::vector<ReportRow> rows; Text summary; } cases[] = {
        {"one phase row",
         Report({Flat(Baseline, u"0s", u"20s", u"12.0")}, u"\r\nFirst line\r\n\r\n\r\n  Second line  \r\n\r\n"),
         {{u"Baseline Phase (0s–20s)", u"12.0 MB", u"0.0 MB", u"0.00 MB/s", Baseline.note}},
         u"First line\r\n  Second line  \r\n"},
        {"the empty line after the closing banner still ends the summary with CR LF",
         Report({}, u"Only line\r\n"), {}, u"Only line\r\n"},
        {"rows without a first field and lines before the ruler are no rows",
         Text(u"Warm-Up | a | b | c | d\r\n") + Text(62, u'-') + u"|---\r\n   | x | y | z | w\r\n" +
             u"Spike (1s–2s)|1|2\r\n===\r\n" + ruler + u"DIAGNOSTIC VERDICT & EVIDENCE SUMMARY:\r\n" + ruler +
             u"Verdict\r\n" + banner,
         {{u"Spike (1s–2s)", u"1", u"2", u"", u""}}, u"Verdict\r\n"},
    };
    for (const auto& c : cases) {
        const ReportSplit split = SplitReport(c.report);
        EXPECT_EQ(split.rows, c.rows) << c.name;
        EXPECT_EQ(split.summary, c.summary) << c.name << "\n" << Shown(split.summary);
    }
    EXPECT_EQ(SummaryFieldText(SplitReport(cases[0].report)), u"\nFirst line\r\n  Second line  \r\n");
    // A text without ruler or heading (the report of too few samples) is the whole summary as it is.
    const ReportSplit insufficient = SplitReport(InsufficientData + u"\r\nb\r\n");
    EXPECT_TRUE(insufficient.rows.empty());
    EXPECT_EQ(SummaryFieldText(insufficient), u"\n" + InsufficientData + u"\r\nb\r\n");
}
