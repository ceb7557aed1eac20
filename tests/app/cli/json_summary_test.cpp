// The JSON summary's figures: rounded as the report rounds them, and the leak test's figures only
// where it judged a trend.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "analysis/signed_text.h"
#include "app/cli/json_summary.h"
#include "strings/stringtable.h"

namespace {

TEST(JsonSummary, FiguresRoundAsTheReportShowsThem) {
    LoadStringTable(u"en");
    // Ties go to the even digit of the exact binary value, as the report's numbers do: 0.125 is
    // exact and goes down, 0.135f is a little above 0.135 and goes up.
    const struct { float rate; double json; const char* report; } cases[] = {
        {0.125f, 0.12, "+0.12"}, {0.375f, 0.38, "+0.38"}, {0.135f, 0.14, "+0.14"},
        {-0.125f, -0.12, "-0.12"}, {-0.001f, 0.0, "-0.00"}, {2.5e-9f, 0.0, "+0.00"}};
    for (const auto& c : cases) {
        PhaseAnalysis analysis;
        analysis.analysed = true;
        PhaseRow row;
        row.rateMBs = c.rate;
        analysis.segmentation.rows.push_back(row);
        const nlohmann::json j = nlohmann::json::parse(JsonSummary(analysis, LeakTestResult{}, u"", SummaryFacts{}));
        EXPECT_EQ(j["phases"][0]["rate"].get<double>(), c.json) << c.rate;
        EXPECT_EQ(TextToUtf8(SignedStrF(c.rate, 2)), c.report) << c.rate;
        EXPECT_FALSE(std::signbit(j["phases"][0]["rate"].get<double>()) && c.json == 0.0) << c.rate;
    }
}

TEST(JsonSummary, TheLeakTestGivesItsTrendOnlyWhenItJudgedOne) {
    LeakTestResult leak;
    leak.outcome = LeakOutcome::Leak;
    leak.unsettled = LeakUnsettled::None;
    leak.slopeMBps = 0.123456;
    leak.pValue = 0.000123456;
    LeakTestResult unsettled;
    unsettled.unsettled = LeakUnsettled::CyclesTooLong;
    unsettled.settleSeconds = 77.2;
    const struct { LeakTestResult r; nlohmann::json result, unsettled, settle, slope, p; } cases[] = {
        {leak, "leak", nullptr, nullptr, 0.1235, 0.000123},
        {unsettled, "inconclusive", "cycles_too_long", 78.0, nullptr, nullptr}};
    for (const auto& c : cases) {
        const nlohmann::json t = nlohmann::json::parse(JsonSummary(PhaseAnalysis{}, c.r, u"", SummaryFacts{}))["leakTest"];
        EXPECT_EQ(t["result"], c.result);
        EXPECT_EQ(t["unsettled"], c.unsettled);
        EXPECT_EQ(t["settleSeconds"], c.settle);
        EXPECT_EQ(t["slopeMBps"], c.slope);
        EXPECT_EQ(t["pValue"], c.p);
    }
}

}  // namespace
