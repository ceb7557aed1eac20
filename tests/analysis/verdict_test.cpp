// The verdict rules, their order and boundaries, and the evidence each writes, from segmentation
// figures given directly.
#include "analysis/verdict.h"
#include "analysis_test_support.h"

namespace analysis_test {
namespace {

struct Figures {
    float firstMB{100.0f};
    float finalMB{100.0f};
    float peakMB{100.0f};
    float settledReference{100.0f};
    int64_t releaseCount{};
    float reclaimedMB{};
    float lowestFloorMB{-1.0f};
    float lastFloorMB{-1.0f};
    bool warmUpExcluded{};
    PhaseKind finalKind{PhaseKind::Flatline};
};

SegmentationResult ResultOf(const Figures& f) {
    SegmentationResult r;
    r.firstMB = f.firstMB;
    r.finalMB = f.finalMB;
    r.peakMB = f.peakMB;
    r.settledReference = f.settledReference;
    r.releaseCount = f.releaseCount;
    r.reclaimedMB = f.reclaimedMB;
    r.lowestFloorMB = f.lowestFloorMB;
    r.lastFloorMB = f.lastFloorMB;
    r.warmUpExcluded = f.warmUpExcluded;
    r.finalKind = f.finalKind;
    return r;
}

Text HighSuspicion(const Text& net, const Text& peak) {
    return HighSuspicionHeadline + u"\r\n\r\n" + u"• Evidence of continuous growth with net increase of +" + net +
           u" MB past warm-up baseline.\r\n" +
           u"• Evidence of zero post-allocation cleanup or GC release phases were detected.\r\n" +
           u"• Evidence that memory peaked at " + peak + u" MB and retained 100% of allocated buffers.\r\n";
}

Text StairStep(const Text& drift, const Text& trough, const Text& cycles) {
    return StairStepHeadline + u"\r\n\r\n" +
           u"• Evidence that Garbage Collection is triggering, but post-GC memory floor drifted " + drift +
           u" relative to baseline.\r\n" + u"• Evidence of trough-to-trough accumulation escalated by " + trough +
           u" across " + cycles + u" recovery cycles.\r\n" +
           u"• Evidence of unfreed references or uncollected heap buffers are lingering across tasks.\r\n";
}

Text PossibleLeak(const Text& net, bool longForm) {
    Text block = PossibleLeakHeadline + u"\r\n\r\n" + u"• Evidence of moderate net growth of +" + net +
                 u" MB above settled baseline.\r\n";
    if (longForm)
        block += u"• Evidence that no memory release phase was detected. Verify if buffers are intentionally "
                 u"cached.\r\n" +
                 CachingNotes;
    return block;
}

Text Healthy(const Text& percent, const Text& final, const Text& freed) {
    return HealthyHeadline + u"\r\n\r\n" + u"• Evidence of reclaimed " + percent +
           u"% of peak allocation back down near baseline (" + final + u" MB).\r\n" +
           u"• Evidence of active Garbage Collection / buffer releases observed (" + freed + u" MB freed).\r\n";
}

Text NoEvidence(const Text& net, const Text& settled, const Text& closing) {
    return NoEvidenceHeadline + u"\r\n\r\n" + u"• Evidence that net memory delta settled cleanly at " + net +
           u" relative to settled baseline (" + settled + u" MB).\r\n" + u"• " + closing + u"\r\n";
}

struct Case {
    const char* behaviour;
    Figures figures;
    Verdict verdict;
    Text evidence;
};

using VerdictRules = EnglishTest;

TEST_F(VerdictRules, FirstMatchingRuleWritesItsEvidence) {
    const Case cases[] = {
        {"no release, 20 MB above the reference: high suspicion",
         {.finalMB = 120.0f, .peakMB = 120.0f}, Verdict::HighSuspicion, HighSuspicion(u"20.0", u"120.0")},
        {"no release, 4 MB above: short possible leak",
         {.finalMB = 104.0f, .peakMB = 104.0f}, Verdict::PossibleLeak, PossibleLeak(u"4.0", false)},
        {"no release, 2 MB above: no evidence, with a plus",
         {.finalMB = 102.0f, .peakMB = 102.0f}, Verdict::NoEvidence,
         NoEvidence(u"+2.0 MB", u"100.0", FlatlineClosing)},
        {"no release, 8 MB above: long possible leak with the caching notes",
         {.finalMB = 108.0f, .peakMB = 108.0f}, Verdict::PossibleLeak, PossibleLeak(u"8.0", true)},
        {"net exactly 15 is not a high suspicion",
         {.finalMB = 115.0f, .peakMB = 115.0f}, Verdict::PossibleLeak, PossibleLeak(u"15.0", true)},
        {"releases that gave back less than 30 % of the growth: high suspicion",
         {.finalMB = 120.0f, .peakMB = 130.0f, .releaseCount = 1, .reclaimedMB = 5.0f, .lowestFloorMB = 120.0f,
          .lastFloorMB = 120.0f},
         Verdict::HighSuspicion,
         RecoveryLine(u"1", u"5.0") + HighSuspicion(u"20.0", u"130.0")},
        {"8 MB net with 10 MB reclaimed and a drift of 2 MB: short possible leak",
         {.finalMB = 107.0f, .peakMB = 120.0f, .releaseCount = 2, .reclaimedMB = 10.0f, .lowestFloorMB = 99.0f,
          .lastFloorMB = 101.0f},
         Verdict::PossibleLeak, RecoveryLine(u"2", u"10.0") + PossibleLeak(u"8.0", false)},
        {"the same with a drift of 3 MB: stair-step before the possible leak",
         {.finalMB = 107.0f, .peakMB = 120.0f, .releaseCount = 2, .reclaimedMB = 10.0f, .lowestFloorMB = 99.0f,
          .lastFloorMB = 102.0f},
         Verdict::StairStep, RecoveryLine(u"2", u"10.0") + StairStep(u"+3.0 MB", u"+3.0 MB", u"2")},
        {"one release: trough drift 0, a floor drift of 3 MB alone makes the stair-step",
         {.finalMB = 103.0f, .peakMB = 120.0f, .releaseCount = 1, .reclaimedMB = 17.0f, .lowestFloorMB = 103.0f,
          .lastFloorMB = 103.0f},
         Verdict::StairStep, RecoveryLine(u"1", u"17.0") + StairStep(u"+3.0 MB", u"0.0 MB", u"1")},
        {"a lowest floor above the reference is ignored",
         {.finalMB = 102.0f, .peakMB = 110.0f, .releaseCount = 1, .reclaimedMB = 0.3f, .lowestFloorMB = 103.0f,
          .lastFloorMB = 103.0f},
         Verdict::StairStep, RecoveryLine(u"1", u"0.3") + StairStep(u"+3.0 MB", u"0.0 MB", u"1")},
        {"two releases, 45.1 MB back, 87.4 % shown as 87",
         {.finalMB = 101.9f, .peakMB = 115.08f, .releaseCount = 2, .reclaimedMB = 45.1f, .lowestFloorMB = 101.9f,
          .lastFloorMB = 101.9f},
         Verdict::Healthy, RecoveryLine(u"2", u"45.1") + Healthy(u"87", u"101.9", u"45.1")},
        {"a peak within 1 MB of the base counts as 100 % back",
         {.finalMB = 100.5f, .peakMB = 101.0f, .releaseCount = 1, .reclaimedMB = 0.6f, .lowestFloorMB = 100.4f,
          .lastFloorMB = 100.4f},
         Verdict::Healthy, RecoveryLine(u"1", u"0.6") + Healthy(u"100", u"100.5", u"0.6")},
        {"net growth exactly 2.5 with releases: no evidence rather than healthy",
         {.finalMB = 102.5f, .peakMB = 120.0f, .releaseCount = 1, .reclaimedMB = 10.0f, .lowestFloorMB = 100.0f,
          .lastFloorMB = 100.0f, .finalKind = PhaseKind::Spike},
         Verdict::NoEvidence, RecoveryLine(u"1", u"10.0") + NoEvidence(u"+2.5 MB", u"100.0", SpikeClosing)},
        {"a negative net growth has no plus sign",
         {.finalMB = 98.7f, .peakMB = 100.0f, .finalKind = PhaseKind::Release}, Verdict::NoEvidence,
         NoEvidence(u"-1.3 MB", u"100.0", FlatlineClosing)},
        {"the warm-up line shows the reference after the final phase",
         {.finalMB = 90.0f, .peakMB = 95.0f, .settledReference = 90.0f, .warmUpExcluded = true,
          .finalKind = PhaseKind::Baseline},
         Verdict::NoEvidence, WarmUpLine + u"90.0 MB.\r\n" + NoEvidence(u"0.0 MB", u"90.0", FlatlineClosing)},
    };
    for (const Case& c : cases) {
        SegmentationResult result = ResultOf(c.figures);
        EXPECT_EQ(ChooseVerdict(result, ComputeVerdictMetrics(result)).verdict, c.verdict) << c.behaviour;
        Text evidence = VerdictEvidenceText(result);
        EXPECT_EQ(evidence, c.evidence) << c.behaviour << "\n" << Shown(evidence);
    }
}

TEST_F(VerdictRules, MetricsFollowTheFloorsAndThePeak) {
    struct MetricsCase {
        const char* behaviour;
        Figures figures;
        VerdictMetrics expected;
    };
    const MetricsCase cases[] = {
        {"no release: the reference is the floor and the drift is the net growth",
         {.firstMB = 90.0f, .finalMB = 104.0f, .peakMB = 110.0f}, {100.0f, 90.0f, 30.0f, 4.0f, 4.0f, 0.0f}},
        {"a lowest floor below the reference becomes the floor",
         {.finalMB = 99.0f, .peakMB = 120.0f, .releaseCount = 2, .lowestFloorMB = 95.0f, .lastFloorMB = 97.0f},
         {95.0f, 95.0f, 84.0f, 4.0f, 2.0f, 2.0f}},
        {"percent back never exceeds 100 nor falls below 0",
         {.finalMB = 130.0f, .peakMB = 120.0f}, {100.0f, 100.0f, 0.0f, 30.0f, 30.0f, 0.0f}},
        {"a final footprint below the base gives 100 %",
         {.finalMB = 80.0f, .peakMB = 120.0f}, {100.0f, 100.0f, 100.0f, -20.0f, -20.0f, 0.0f}},
    };
    for (const MetricsCase& c : cases) {
        VerdictMetrics m = ComputeVerdictMetrics(ResultOf(c.figures));
        EXPECT_FLOAT_EQ(m.floorRef, c.expected.floorRef) << c.behaviour;
        EXPECT_FLOAT_EQ(m.base, c.expected.base) << c.behaviour;
        EXPECT_FLOAT_EQ(m.percentBack, c.expected.percentBack) << c.behaviour;
        EXPECT_FLOAT_EQ(m.netGrowth, c.expected.netGrowth) << c.behaviour;
        EXPECT_FLOAT_EQ(m.floorDrift, c.expected.floorDrift) << c.behaviour;
        EXPECT_FLOAT_EQ(m.troughDrift, c.expected.troughDrift) << c.behaviour;
    }
}

}  // namespace
}  // namespace analysis_test
