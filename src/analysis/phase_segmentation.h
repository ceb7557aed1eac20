// Phase segmentation: the footprint curve of a history cut into warm-up, growth, release,
// baseline and flatline phases, with the running figures the verdict is built from.
#pragma once

#include <cstdint>
#include <vector>

#include "monitor/sample_history.h"
#include "runtime/text.h"
#include "strings/text_id.h"

enum class PhaseKind { WarmUp, Spike, Release, Baseline, Flatline };

// One written phase. Footprints are the smoothed values of the start and end slot.
struct PhaseRow {
    PhaseKind kind{PhaseKind::WarmUp};
    int64_t startSlot{};
    int64_t endSlot{};
    Text startTime;
    Text endTime;
    float startMB{};
    float endMB{};
    float deltaMB{};
    float durationSec{};
    float rateMBs{};
    TextId noteId{};
};

struct SegmentationResult {
    std::vector<PhaseRow> rows;  // in time order, the final phase last
    float firstMB{};
    float finalMB{};
    float peakMB{};
    float settledReference{};  // reference footprint after the final phase
    int64_t releaseCount{};
    float reclaimedMB{};
    float lowestFloorMB{-1.0f};  // -1 while no release was written
    float lastFloorMB{-1.0f};
    bool warmUpExcluded{};
    PhaseKind finalKind{PhaseKind::WarmUp};
};

// String-table identifiers of a kind's display name and of its notes.
TextId PhaseNameId(PhaseKind kind);
TextId PhaseNoteId(PhaseKind kind, bool finalPhase);

// A time in a phase row: seconds from t0 ("45s") for relative and time-of-day stamps, the clock
// time ("14:03:27") for dates.
Text FormatPhaseTime(DateValue timestamp, DateValue t0);

// Fewer than this many active slots and the history is not analysed.
inline constexpr int64_t MinActiveSlots = 3;

// Segments the history; false (result untouched) when fewer than three slots are active.
bool SegmentHistory(const SampleHistory& history, SegmentationResult& result);
