// The verdict rules, their order and boundaries, and the evidence each writes, from segmentation
// figures given directly.
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

TEST_F(VerdictRules, FirstMatchingRuleWritesItsEvidence) {
    const std::tuple<const char*, SegmentationResult, Verdict, Text> cases[] = {
        {"no release, 20 MB up", Figures(120, 120), Verdict::HighSuspicion, HighSuspicion(u"20.0", u"120.0")},
        {"no release, 4 MB up", Figures(104, 104), Verdict::PossibleLeak, PossibleLeak(u"4.0", false)},
        {"no release, 2 MB up", Figures(102, 102), Verdict::NoEvidence, NoEvidence(u"+2.0 MB", u"100.0")},
        {"no release, 8 MB up", Figures(108, 108), Verdict::PossibleLeak, PossibleLeak(u"8.0", true)},
        {"no release, exactly 15 MB up", Figures(115, 115), Verdict::PossibleLeak, PossibleLeak(u"15.0", true)},
        {"releases under 30 % of the growth", Figures(120, 130, 1, 5, 120, 120), Verdict::HighSuspicion,
         RecoveryLine(u"1", u"5.0") + HighSuspicion(u"20.0", u"130.0")},
        {"8 MB net, 10 MB reclaimed, drift 2", Figures(107, 120, 2, 10, 99, 101), Verdict::PossibleLeak,
         RecoveryLine(u"2", u"10.0") + PossibleLeak(u"8.0", false)},
        {"the same with drift 3", Figures(107, 120, 2, 10, 99, 102), Verdict::StairStep,
         RecoveryLine(u"2", u"10.0") + StairStep(u"+3.0 MB", u"+3.0 MB", u"2")},
        {"one release: floor drift 3 alone", Figures(103, 120, 1, 17, 103, 103), Verdict::StairStep,
         RecoveryLine(u"1", u"17.0") + StairStep(u"+3.0 MB", u"0.0 MB", u"1")},
        {"lowest floor above the reference ignored", Figures(102, 110, 1, 0.3f, 103, 103), Verdict::StairStep,
         RecoveryLine(u"1", u"0.3") + StairStep(u"+3.0 MB", u"0.0 MB", u"1")},
        {"lowest floor below the reference is the floor", Figures(99, 120, 2, 21, 95, 97), Verdict::PossibleLeak,
         RecoveryLine(u"2", u"21.0") + PossibleLeak(u"4.0", false)},
        {"87.4 % back shown as 87", Figures(101.9f, 115.08f, 2, 45.1f, 101.9f, 101.9f), Verdict::Healthy,
         RecoveryLine(u"2", u"45.1") + Healthy(u"87", u"101.9", u"45.1")},
        {"peak within 1 MB of the base: 100 %", Figures(100.5f, 101, 1, 0.6f, 100.4f, 100.4f), Verdict::Healthy,
         RecoveryLine(u"1", u"0.6") + Healthy(u"100", u"100.5", u"0.6")},
        {"final below the base: at most 100 %", Figures(95, 120, 1, 25, 98, 98), Verdict::Healthy,
         RecoveryLine(u"1", u"25.0") + Healthy(u"100", u"95.0", u"25.0")},
        {"net exactly 2.5 with releases", Figures(102.5f, 120, 1, 10, 100, 100, PhaseKind::Spike),
         Verdict::NoEvidence, RecoveryLine(u"1", u"10.0") + NoEvidence(u"+2.5 MB", u"100.0", true)},
        {"negative net", Figures(98.7f, 100, 0, 0, -1, -1, PhaseKind::Release), Verdict::NoEvidence,
         NoEvidence(u"-1.3 MB", u"100.0")},
        {"warm-up line shows the final reference",
         {.rows = {}, .firstMB = 100, .finalMB = 90, .peakMB = 95, .settledReference = 90, .warmUpExcluded = true},
         Verdict::NoEvidence, WarmUpLine + u"90.0 MB.\r\n" + NoEvidence(u"0.0 MB", u"90.0")},
    };
    for (const auto& [behaviour, figures, verdict, expected] : cases) {
        EXPECT_EQ(ChooseVerdict(figures, ComputeVerdictMetrics(figures)).verdict, verdict) << behaviour;
        Text evidence = VerdictEvidenceText(figures);
        EXPECT_EQ(evidence, expected) << behaviour << "\n" << Shown(evidence);
    }
}

}  // namespace
}  // namespace analysis_test
