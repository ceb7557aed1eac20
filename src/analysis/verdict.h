// The verdict: the segmentation's figures condensed into one judgement with its evidence lines.
#pragma once

#include "analysis/phase_segmentation.h"
#include "runtime/text.h"

enum class Verdict { HighSuspicion, StairStep, PossibleLeak, Healthy, NoEvidence };

struct VerdictMetrics {
    float floorRef{};     // the floor the process returns to
    float base{};         // the lower of that floor and the first footprint
    float percentBack{};  // share of the peak's growth given back, 0 to 100
    float netGrowth{};    // final footprint above the floor
    float floorDrift{};   // last release floor above the floor
    float troughDrift{};  // last release floor above the lowest one
};

struct VerdictChoice {
    Verdict verdict{Verdict::NoEvidence};
    bool longForm{};  // PossibleLeak only: the full block with the caching notes
};

VerdictMetrics ComputeVerdictMetrics(const SegmentationResult& result);
// The first rule that matches, in order of severity.
VerdictChoice ChooseVerdict(const SegmentationResult& result, const VerdictMetrics& metrics);
// Everything between the verdict header and the closing banner: the warm-up and recovery lines
// when they apply, then the headline and evidence of the verdict already chosen from these
// figures, in the loaded language.
Text VerdictEvidenceText(const SegmentationResult& result, const VerdictMetrics& metrics,
                         const VerdictChoice& choice);
// The same, choosing the verdict from the segmentation first.
Text VerdictEvidenceText(const SegmentationResult& result);

// The verdict's name for scripts, the same in every language: "high_suspicion", "stair_step",
// "possible_leak", "healthy", "no_evidence".
const char* VerdictMachineName(Verdict verdict);
