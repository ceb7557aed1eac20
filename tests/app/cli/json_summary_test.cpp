// The JSON summary's figures: rounded as the report rounds them, and the leak test's figures only
// where it judged a trend.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "analysis/signed_text.h"
#include "app/cli/json_summary.h"
#include "strings/stringtable.h"

namespace {

// A tie goes to the even digit of the exact binary value, as the report's numbers do: 0.125 is exact
// and goes down.
TEST(JsonSummary, FiguresRoundAsTheReportShowsThem) {
    LoadStringTable(u"en");
    PhaseAnalysis analysis;
    analysis.analysed = true;
    PhaseRow row;
    row.rateMBs = 0.125f;
    analysis.segmentation.rows.push_back(row);
    const nlohmann::json j = nlohmann::json::parse(JsonSummary(analysis, LeakTestResult{}, u"", SummaryFacts{}));
    EXPECT_EQ(j["phases"][0]["rate"].get<double>(), 0.12);
    EXPECT_EQ(TextToUtf8(SignedStrF(row.rateMBs, 2)), "+0.12");
}

// An unsettled test gives why and how long it needed, and no trend.
TEST(JsonSummary, TheLeakTestGivesItsTrendOnlyWhenItJudgedOne) {
    LeakTestResult unsettled;
    unsettled.unsettled = LeakUnsettled::CyclesTooLong;
    unsettled.settleSeconds = 77.2;
    const nlohmann::json t = nlohmann::json::parse(JsonSummary(PhaseAnalysis{}, unsettled, u"", SummaryFacts{}));
    const nlohmann::json want = {{"result", "inconclusive"}, {"unsettled", "cycles_too_long"}, {"settleSeconds", 78.0},
                                 {"slopeMBps", nullptr}, {"pValue", nullptr}};
    for (const auto& [key, value] : want.items()) EXPECT_EQ(t["leakTest"][key], value) << key;
}

}  // namespace
