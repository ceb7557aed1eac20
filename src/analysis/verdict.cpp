#include "analysis/verdict.h"

#include <algorithm>

#include "analysis/signed_text.h"
#include "strings/stringtable.h"

namespace {

const char16_t* const LineEnd = u"\r\n";
// Headlines are followed by a blank line of their own.
const char16_t* const HeadlineEnd = u"\r\n\r\n";

Text MB1(float value) { return StrF(value, 1); }

Text HighSuspicionBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    return LookupText(TextId::VerdictHighSuspicion) + HeadlineEnd + LookupText(TextId::EvidenceContinuousGrowthPrefix) +
           MB1(m.netGrowth) + LookupText(TextId::PastWarmUpBaselineSuffix) + LineEnd +
           LookupText(TextId::EvidenceNoCleanup) + LineEnd + LookupText(TextId::EvidencePeakPrefix) + MB1(r.peakMB) +
           LookupText(TextId::PeakRetainedSuffix) + LineEnd;
}

Text StairStepBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    Text driftText = SignedStrF(m.floorDrift, 1) + u" MB";
    Text troughText = SignedStrF(m.troughDrift, 1) + u" MB";
    return LookupText(TextId::VerdictStairStep) + HeadlineEnd + LookupText(TextId::EvidenceFloorDriftPrefix) +
           driftText + LookupText(TextId::RelativeToBaselineSuffix) + LineEnd +
           LookupText(TextId::EvidenceTroughGrowthPrefix) + troughText + LookupText(TextId::Across) +
           Str(r.releaseCount) + LookupText(TextId::RecoveryCyclesSuffix) + LineEnd +
           LookupText(TextId::EvidenceLingeringReferences) + LineEnd;
}

Text PossibleLeakBlock(const VerdictMetrics& m, bool longForm) {
    Text block = LookupText(TextId::VerdictPossibleLeak) + HeadlineEnd +
                 LookupText(TextId::EvidenceModerateGrowthPrefix) + MB1(m.netGrowth) +
                 LookupText(TextId::AboveSettledBaselineSuffix) + LineEnd;
    // The caching notes carry their own line ends.
    if (longForm)
        block += LookupText(TextId::EvidenceNoRelease) + LineEnd + LookupText(TextId::NoteTransactionalApp) +
                 LookupText(TextId::NoteLongRunningTools);
    return block;
}

Text HealthyBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    return LookupText(TextId::VerdictHealthy) + HeadlineEnd + LookupText(TextId::EvidenceReclaimedPrefix) +
           StrF(m.percentBack, 0) + LookupText(TextId::PercentBackNearBaseline) + MB1(r.finalMB) + u" MB).\r\n" +
           LookupText(TextId::EvidenceActiveReleasePrefix) + MB1(r.reclaimedMB) + LookupText(TextId::MBFreedSuffix) +
           LineEnd;
}

Text NoEvidenceBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    Text netText = SignedStrF(m.netGrowth, 1) + u" MB";
    TextId closing = r.finalKind == PhaseKind::Spike ? TextId::ClosingBounded : TextId::ClosingFlatline;
    return LookupText(TextId::VerdictNoEvidence) + HeadlineEnd + LookupText(TextId::EvidenceSettledDeltaPrefix) +
           netText + LookupText(TextId::RelativeToSettledBaseline) + MB1(r.settledReference) + u" MB).\r\n" + u"• " +
           LookupText(closing) + LineEnd;
}

}  // namespace

VerdictMetrics ComputeVerdictMetrics(const SegmentationResult& r) {
    VerdictMetrics m;
    bool floorBelowReference = r.lowestFloorMB > 0.0f && r.lowestFloorMB < r.settledReference;
    m.floorRef = floorBelowReference ? r.lowestFloorMB : r.settledReference;
    m.base = std::min(m.floorRef, r.firstMB);
    if (r.peakMB - m.base > 1.0f) {
        float percent = (r.peakMB - r.finalMB) / (r.peakMB - m.base) * 100.0f;
        m.percentBack = std::max(std::min(percent, 100.0f), 0.0f);
    } else {
        m.percentBack = 100.0f;
    }
    m.netGrowth = r.finalMB - m.floorRef;
    m.floorDrift = r.lastFloorMB > 0.0f ? r.lastFloorMB - m.floorRef : m.netGrowth;
    m.troughDrift = r.lastFloorMB > 0.0f && r.lowestFloorMB > 0.0f ? r.lastFloorMB - r.lowestFloorMB : 0.0f;
    return m;
}

VerdictChoice ChooseVerdict(const SegmentationResult& r, const VerdictMetrics& m) {
    bool released = r.releaseCount > 0;
    double net = m.netGrowth;
    if (m.netGrowth > 15.0f && (!released || net * 0.3 > r.reclaimedMB)) return {Verdict::HighSuspicion};
    if (released && m.floorDrift > 0.0f && (m.floorDrift > 2.5f || m.troughDrift > 2.5f)) return {Verdict::StairStep};
    if (m.netGrowth > 5.0f && (!released || net * 0.5 > r.reclaimedMB)) return {Verdict::PossibleLeak, true};
    if (released && r.reclaimedMB > 0.5f && m.netGrowth < 2.5f && m.floorDrift <= 2.5f) return {Verdict::Healthy};
    if (m.netGrowth <= 2.5f) return {Verdict::NoEvidence};
    return {Verdict::PossibleLeak, false};
}

Text VerdictEvidenceText(const SegmentationResult& r, const VerdictMetrics& m, const VerdictChoice& choice) {
    Text out;
    if (r.warmUpExcluded) out += LookupText(TextId::WarmUpFilterPrefix) + MB1(r.settledReference) + u" MB.\r\n";
    if (r.releaseCount > 0)
        out += LookupText(TextId::RecoveryMetricsPrefix) + Str(r.releaseCount) +
               LookupText(TextId::RecoveryPhasesReclaiming) + MB1(r.reclaimedMB) +
               LookupText(TextId::RecoveryTotalSuffix) + LineEnd;
    switch (choice.verdict) {
        case Verdict::HighSuspicion: return out + HighSuspicionBlock(r, m);
        case Verdict::StairStep: return out + StairStepBlock(r, m);
        case Verdict::PossibleLeak: return out + PossibleLeakBlock(m, choice.longForm);
        case Verdict::Healthy: return out + HealthyBlock(r, m);
        case Verdict::NoEvidence: return out + NoEvidenceBlock(r, m);
    }
    return out;
}

Text VerdictEvidenceText(const SegmentationResult& r) {
    VerdictMetrics m = ComputeVerdictMetrics(r);
    return VerdictEvidenceText(r, m, ChooseVerdict(r, m));
}

const char* VerdictMachineName(Verdict verdict) {
    switch (verdict) {
        case Verdict::HighSuspicion: return "high_suspicion";
        case Verdict::StairStep: return "stair_step";
        case Verdict::PossibleLeak: return "possible_leak";
        case Verdict::Healthy: return "healthy";
        case Verdict::NoEvidence: return "no_evidence";
    }
    return "no_evidence";
}
