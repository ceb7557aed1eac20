// The report text: a fixed-width plain text with a banner, one aligned row per phase and the
// verdict section, lines ended by CR LF. The window shows it and Copy Report copies it as it is.
#pragma once

#include "analysis/phase_segmentation.h"
#include "runtime/text.h"

// Column widths of a phase row, in UTF-16 units; the note column is not padded.
inline constexpr int64_t PhaseLabelWidth = 62;
inline constexpr int64_t FootprintWidth = 18;
inline constexpr int64_t DeltaWidth = 11;
inline constexpr int64_t RateWidth = 15;

// A phase's name and time range, unpadded: "Baseline Phase (22s–58s)".
Text PhaseLabel(const PhaseRow& row);
// One phase row with its CR LF.
Text FormatPhaseRow(const PhaseRow& row);
// The whole report of a segmented history around its evidence section.
Text BuildReportText(const SegmentationResult& result, TextView evidence);
// The same with the evidence of the verdict chosen from the segmentation.
Text BuildReportText(const SegmentationResult& result);
