// The verdict rules, their order and boundaries, and the figures each one's evidence writes, from
// segmentation figures given directly.
#include "analysis/verdict.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

// First footprint and settled reference at 100 MB.
SegmentationResult Figures(float finalMB, float peakMB, int64_t releases = 0, float reclaimed = 0.0f,
                           float lowestFloor = -1.0f, float lastFloor = -1.0f, PhaseKind last = PhaseKind::Flatline) {
    return {.rows = {}, .firstMB = 100.0f, .finalMB = finalMB, .peakMB = peakMB, .settledReference = 100.0f,
            .releaseCount = releases, .reclaimedMB = reclaimed, .lowestFloorMB = lowestFloor,
            .lastFloorMB = lastFloor, .finalKind = last};
}

using VerdictRules = EnglishTest;

// Each case: the verdict and the texts its evidence holds, in order (the whole texts are the
// report's test's).
TEST_F(VerdictRules, FirstMatchingRuleWritesItsEvidence) {
    const std::tuple<const char*, SegmentationResult, Verdict, std::vector<Text>> cases[] = {
        {"no release, 20 MB up", Figures(120, 120), Verdict::HighSuspicion, {u"+20.0 MB", u"peaked at 120.0 MB"}},
        {"no release, 2 MB up", Figures(102, 102), Verdict::NoEvidence, {u"at +2.0 MB", u"(100.0 MB)", u"Extended Flatline"}},
        {"no release, 8 MB up", Figures(108, 108), Verdict::PossibleLeak, {u"+8.0 MB above", u"no memory release"}},
        {"no release, exactly 15 MB up", Figures(115, 115), Verdict::PossibleLeak, {u"+15.0 MB", u"no memory release"}},
        {"releases under 30 % of the growth", Figures(120, 130, 1, 5, 120, 120), Verdict::HighSuspicion,
         {u"Detected 1 release phase(s) reclaiming ~5.0 MB", u"+20.0 MB", u"peaked at 130.0 MB"}},
        {"8 MB net, 10 MB reclaimed, drift 2", Figures(107, 120, 2, 10, 99, 101), Verdict::PossibleLeak,
         {u"Detected 2 release phase(s) reclaiming ~10.0 MB", u"+8.0 MB"}},
        {"the same with drift 3", Figures(107, 120, 2, 10, 99, 102), Verdict::StairStep,
         {u"drifted +3.0 MB", u"escalated by +3.0 MB across 2 recovery"}},
        {"one release: floor drift 3 alone", Figures(103, 120, 1, 17, 103, 103), Verdict::StairStep,
         {u"drifted +3.0 MB", u"escalated by 0.0 MB across 1 recovery"}},
        {"lowest floor above the reference ignored", Figures(102, 110, 1, 0.3f, 103, 103), Verdict::StairStep,
         {u"~0.3 MB", u"drifted +3.0 MB"}},
        {"lowest floor below the reference is the floor", Figures(99, 120, 2, 21, 95, 97), Verdict::PossibleLeak,
         {u"~21.0 MB", u"+4.0 MB above"}},
        {"87.4 % back shown as 87", Figures(101.9f, 115.08f, 2, 45.1f, 101.9f, 101.9f), Verdict::Healthy,
         {u"reclaimed 87% of peak", u"(101.9 MB)", u"(45.1 MB freed)"}},
        {"peak within 1 MB of the base: 100 %", Figures(100.5f, 101, 1, 0.6f, 100.4f, 100.4f), Verdict::Healthy,
         {u"reclaimed 100%", u"(100.5 MB)"}},
        {"final below the base: at most 100 %", Figures(95, 120, 1, 25, 98, 98), Verdict::Healthy, {u"reclaimed 100%"}},
        {"net exactly 2.5 with releases", Figures(102.5f, 120, 1, 10, 100, 100, PhaseKind::Spike), Verdict::NoEvidence,
         {u"at +2.5 MB", u"bounded within safe limits"}},
        {"warm-up line shows the final reference",
         {.rows = {}, .firstMB = 100, .finalMB = 90, .peakMB = 95, .settledReference = 90, .warmUpExcluded = true},
         Verdict::NoEvidence, {u"Clean baseline settled at 90.0 MB.", u"at 0.0 MB"}},
    };
    for (const auto& [behaviour, figures, verdict, texts] : cases) {
        EXPECT_EQ(ChooseVerdict(figures, ComputeVerdictMetrics(figures)).verdict, verdict) << behaviour;
        const Text evidence = VerdictEvidenceText(figures);
        size_t at = 0;
        for (const Text& text : texts) {
            at = evidence.find(text, at);
            EXPECT_NE(at, Text::npos) << behaviour << ": " << TextToUtf8(text) << "\n" << Shown(evidence);
        }
    }
}

}  // namespace
}  // namespace analysis_test
