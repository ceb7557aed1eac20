// The columns of a phase row and what the report keeps the same in every language.
#include <algorithm>
#include <numeric>

#include "analysis/phase_analysis.h"
#include "analysis/report_split.h"
#include "analysis/report_text.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

PhaseRow RowOf(PhaseKind kind, Text from, Text to, float startMB, float endMB, float rate) {
    return {.kind = kind, .startTime = from, .endTime = to, .startMB = startMB, .endMB = endMB,
            .deltaMB = endMB - startMB, .rateMBs = rate, .noteId = PhaseNoteId(kind, false)};
}

using PhaseRowText = EnglishTest;

TEST_F(PhaseRowText, OneFootprintUnderATenthApartAndStartToEndFromIt) {
    const std::pair<PhaseRow, Text> cases[] = {
        // Under 0.1 MB apart: one value; 0.1 MB or more: start → end.
        {RowOf(PhaseKind::Baseline, u"0s", u"9s", 100, 100.06f, 0.006f),
         Row(Baseline, u"0s", u"9s", u"100.0 MB", u"+0.1 MB", u"+0.01 MB/s")},
        {RowOf(PhaseKind::Baseline, u"0s", u"9s", 100, 100.12f, 0),
         Row(Baseline, u"0s", u"9s", u"100.0 → 100.1 MB", u"+0.1 MB", u"0.00 MB/s")},
    };
    for (const auto& [phase, expected] : cases) {
        Text row = FormatPhaseRow(phase);
        EXPECT_EQ(row, expected) << Shown(row);
    }
}

std::vector<Text> Lines(const Text& text) {
    std::vector<Text> lines;
    for (size_t start = 0, end = 0; end != Text::npos; start = end + 2)
        lines.push_back(text.substr(start, (end = text.find(u"\r\n", start)) - start));
    return lines;
}

TEST(TranslatedReport, OnlyNamesNotesVerdictHeaderAndEvidenceFollowTheLanguage) {
    // Every 2 s: 15 samples at 100 MB, 8 rising by 5 MB, 8 falling by 4.5 MB, 10 at rest and 6
    // rising by 3 MB: one row of each kind and a final spike.
    SampleHistory history = HistoryOf(Sampled(47, 2, [](int k) {
        return 100.0 + 5 * std::clamp(k - 14, 0, 8) - 4.5 * std::clamp(k - 22, 0, 8) + 3 * std::max(k - 40, 0);
    }));
    LoadStringTable(u"en");
    std::vector<Text> english = Lines(RunPhaseAnalysis(history));
    ASSERT_GT(english.size(), 16u);
    auto evidenceOf = [](const std::vector<Text>& lines) {  // between the verdict header and the closing banner
        return std::accumulate(lines.begin() + 15, lines.end() - 2, Text());
    };
    for (const char16_t* language : {u"fr", u"de"}) {
        LoadStringTable(language);
        SCOPED_TRACE(TextToUtf8(language));
        std::vector<Text> lines = Lines(RunPhaseAnalysis(history));
        ASSERT_EQ(lines.size(), english.size());
        // Banners, title, column header, rulers, the blank line before the verdict, closing banner: English.
        for (size_t i : {0, 1, 2, 3, 4, 11, 12, 14}) EXPECT_EQ(lines[i], english[i]) << i;
        EXPECT_EQ(lines.end()[-2] + lines.back(), english.end()[-2] + english.back());
        EXPECT_EQ(lines[13], LookupText(TextId::VerdictHeading));
        EXPECT_NE(lines[13], english[13]);
        for (size_t i = 5; i < 11; ++i) {
            EXPECT_NE(lines[i].substr(0, 62), english[i].substr(0, 62)) << TextToUtf8(lines[i]);  // the name
            EXPECT_EQ(lines[i].substr(62, 55), english[i].substr(62, 55));  // the bars and the figures
        }
        const Text evidence = evidenceOf(lines);
        EXPECT_NE(evidence, evidenceOf(english));
        for (const char16_t* figure : {u"100.0 MB", u"32.8", u"+4.0 MB", u"0.0 MB"})
            EXPECT_NE(evidence.find(figure), Text::npos) << TextToUtf8(figure);
        // Every row, whatever its translated name begins with, is a list row; the heading is no summary.
        const ReportSplit split = SplitReport(RunPhaseAnalysis(history));
        ASSERT_EQ(split.rows.size(), 6u);
        for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(lines[5 + i].starts_with(split.rows[i][0])) << i;
        EXPECT_TRUE(!split.summary.empty() && split.summary.find(lines[13]) == Text::npos);
    }
    LoadStringTable(u"en");
}

}  // namespace
}  // namespace analysis_test
