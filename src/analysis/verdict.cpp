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
    return LookupText(45) + HeadlineEnd + LookupText(164) + MB1(m.netGrowth) + LookupText(46) + LineEnd +
           LookupText(47) + LineEnd + LookupText(48) + MB1(r.peakMB) + LookupText(49) + LineEnd;
}

Text StairStepBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    Text driftText = SignedStrF(m.floorDrift, 1) + u" MB";
    Text troughText = SignedStrF(m.troughDrift, 1) + u" MB";
    return LookupText(160) + HeadlineEnd + LookupText(50) + driftText + LookupText(51) + LineEnd + LookupText(52) +
           troughText + LookupText(53) + Str(r.releaseCount) + LookupText(54) + LineEnd + LookupText(55) + LineEnd;
}

Text PossibleLeakBlock(const VerdictMetrics& m, bool longForm) {
    Text block = LookupText(56) + HeadlineEnd + LookupText(162) + MB1(m.netGrowth) + LookupText(166) + LineEnd;
    // The caching notes carry their own line ends.
    if (longForm) block += LookupText(168) + LineEnd + LookupText(182) + LookupText(184);
    return block;
}

Text HealthyBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    return LookupText(170) + HeadlineEnd + LookupText(58) + StrF(m.percentBack, 0) + LookupText(172) +
           MB1(r.finalMB) + u" MB).\r\n" + LookupText(174) + MB1(r.reclaimedMB) + LookupText(60) + LineEnd;
}

Text NoEvidenceBlock(const SegmentationResult& r, const VerdictMetrics& m) {
    Text netText = SignedStrF(m.netGrowth, 1) + u" MB";
    int closingId = r.finalKind == PhaseKind::Spike ? 178 : 176;
    return LookupText(61) + HeadlineEnd + LookupText(62) + netText + LookupText(63) + MB1(r.settledReference) +
           u" MB).\r\n" + u"• " + LookupText(closingId) + LineEnd;
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
    if (r.warmUpExcluded) out += LookupText(40) + MB1(r.settledReference) + u" MB.\r\n";
    if (r.releaseCount > 0)
        out += LookupText(42) + Str(r.releaseCount) + LookupText(43) + MB1(r.reclaimedMB) + LookupText(44) + LineEnd;
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

bool IsLeakVerdict(Verdict verdict) {
    return verdict == Verdict::HighSuspicion || verdict == Verdict::StairStep || verdict == Verdict::PossibleLeak;
}
