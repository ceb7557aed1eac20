// The columns of a phase row and what the report keeps the same in every language.
#include "analysis/phase_analysis.h"
#include "analysis/report_text.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

PhaseRow RowOf(PhaseKind kind, Text from, Text to, float startMB, float endMB, float rate) {
    PhaseRow row;
    row.kind = kind;
    row.startTime = std::move(from);
    row.endTime = std::move(to);
    row.startMB = startMB;
    row.endMB = endMB;
    row.deltaMB = endMB - startMB;
    row.rateMBs = rate;
    row.noteId = PhaseNoteId(kind, false);
    return row;
}

using PhaseRowText = EnglishTest;

TEST_F(PhaseRowText, ColumnsAreCutOrPaddedToTheirWidths) {
    struct Case {
        const char* behaviour;
        PhaseRow row;
        Text expected;
    };
    const Case cases[] = {
        {"a label beyond 62 units is cut",
         RowOf(PhaseKind::Release, u"1000000000s", u"1000000500s", 300.0f, 250.0f, -0.1f),
         u"Post-Task Release / Garbage Collection (1000000000s–1000000500" + Text(u" | ") +
             Pad(u"300.0 → 250.0 MB", 18) + u" | " + Pad(u"-50.0 MB", 11) + u" | " + Pad(u"-0.10 MB/s", 15) +
             u" | " + ReleaseNote + u"\r\n"},
        {"less than 0.1 MB apart: one value",
         RowOf(PhaseKind::Baseline, u"0s", u"9s", 100.0f, 100.06f, 0.006f),
         Row(BaselineName, u"0s", u"9s", u"100.0 MB", u"+0.1 MB", u"+0.01 MB/s", BaselineNote)},
        {"0.1 MB apart or more: start, arrow and end",
         RowOf(PhaseKind::Baseline, u"0s", u"9s", 100.0f, 100.12f, 0.0f),
         Row(BaselineName, u"0s", u"9s", u"100.0 → 100.1 MB", u"+0.1 MB", u"0.00 MB/s", BaselineNote)},
        {"zero delta and rate carry no sign",
         RowOf(PhaseKind::Flatline, u"4s", u"30s", 12.5f, 12.5f, 0.0f),
         Row(FlatlineName, u"4s", u"30s", u"12.5 MB", u"0.0 MB", u"0.00 MB/s", FlatlineNote)},
        {"negative values carry their minus sign only",
         RowOf(PhaseKind::Release, u"4s", u"30s", 40.0f, 12.5f, -1.25f),
         Row(ReleaseName, u"4s", u"30s", u"40.0 → 12.5 MB", u"-27.5 MB", u"-1.25 MB/s", ReleaseNote)},
        {"a wide footprint text is cut at 18 units",
         RowOf(PhaseKind::Spike, u"0s", u"2s", 1234567.0f, 7654321.0f, 3e6f),
         Row(SpikeName, u"0s", u"2s", u"1234567.0 → 765432", u"+6419754.0 ", u"+3000000.00 MB/", SpikeNote)},
    };
    for (const Case& c : cases) {
        Text row = FormatPhaseRow(c.row);
        EXPECT_EQ(row, c.expected) << c.behaviour << "\n" << Shown(row);
    }
}

// Every 2 s: 15 samples at 100 MB, a rise, a fall to 104 MB and a rest, then a rise that lasts
// to the end: warm-up, baseline, spike, release, flatline and a final spike.
SampleHistory AllKinds() {
    Points points;
    int64_t t = 0;
    float mb = 100.0f;
    for (int k = 0; k < 15; ++k, t += 2) points.push_back({t, mb});
    for (int k = 0; k < 8; ++k, t += 2) points.push_back({t, mb += 5.0f});
    for (int k = 0; k < 8; ++k, t += 2) points.push_back({t, mb -= 4.5f});
    for (int k = 0; k < 10; ++k, t += 2) points.push_back({t, mb});
    for (int k = 0; k < 6; ++k, t += 2) points.push_back({t, mb += 3.0f});
    return HistoryOf(points);
}

std::vector<Text> Lines(const Text& text) {
    std::vector<Text> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(u"\r\n", start)) != Text::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

std::vector<size_t> BarColumns(const Text& line) {
    std::vector<size_t> columns;
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == u'|') columns.push_back(i);
    return columns;
}

TEST(TranslatedReport, OnlyNamesNotesVerdictHeaderAndEvidenceFollowTheLanguage) {
    SampleHistory history = AllKinds();
    LoadStringTable(u"en");
    Text englishReport = RunPhaseAnalysis(history);
    std::vector<Text> english = Lines(englishReport);
    const size_t firstRow = 5, rowCount = 6, headerLine = firstRow + rowCount + 2;
    ASSERT_GT(english.size(), headerLine + 4);
    ASSERT_EQ(english[firstRow + rowCount], u"");
    Text englishEvidence = englishReport.substr(englishReport.find(english[headerLine + 2]));

    for (const char16_t* language : {u"fr", u"de"}) {
        LoadStringTable(language);
        SCOPED_TRACE(TextToUtf8(language));
        Text report = RunPhaseAnalysis(history);
        std::vector<Text> translated = Lines(report);
        ASSERT_GT(translated.size(), headerLine + 4);
        for (size_t i = 0; i < firstRow; ++i) EXPECT_EQ(translated[i], english[i]) << "fixed head line " << i;
        for (size_t i = firstRow; i < firstRow + rowCount; ++i) {
            const Text& row = translated[i];
            std::vector<size_t> bars = BarColumns(row);
            ASSERT_GE(bars.size(), 4u) << TextToUtf8(row);
            bars.resize(4);
            EXPECT_EQ(bars, (std::vector<size_t>{63, 84, 98, 116})) << TextToUtf8(row);
            // Name and note change; the time range and the three number columns do not.
            size_t range = english[i].rfind(u" (", 62);
            Text timeRange = english[i].substr(range, english[i].find(u')', range) - range + 1);
            size_t translatedRange = row.rfind(timeRange, 62);
            ASSERT_NE(translatedRange, Text::npos) << TextToUtf8(row);
            EXPECT_NE(row.substr(0, translatedRange), english[i].substr(0, range)) << TextToUtf8(row);
            EXPECT_EQ(row.substr(62, 117 - 62), english[i].substr(62, 117 - 62));
            EXPECT_NE(row.substr(118), english[i].substr(118));
        }
        EXPECT_EQ(translated[firstRow + rowCount], u"");
        EXPECT_EQ(translated[firstRow + rowCount + 1], english[firstRow + rowCount + 1]);
        EXPECT_EQ(translated[headerLine], LookupText(14));
        EXPECT_NE(translated[headerLine], english[headerLine]);
        EXPECT_EQ(translated[headerLine + 1], english[headerLine + 1]);
        // The evidence is translated around the same figures, and the closing banner stays.
        Text evidence = report.substr(report.find(translated[headerLine + 2]));
        EXPECT_NE(evidence, englishEvidence);
        for (const char16_t* figure : {u"100.0 MB", u"32.8", u"+4.0 MB", u"0.0 MB"})
            EXPECT_NE(evidence.find(figure), Text::npos) << TextToUtf8(figure);
        EXPECT_EQ(translated[translated.size() - 2], english[english.size() - 2]);
        EXPECT_EQ(translated.back(), u"");
    }
    LoadStringTable(u"en");
}

}  // namespace
}  // namespace analysis_test
