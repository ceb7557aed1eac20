#include "analysis/phase_segmentation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "runtime/date.h"

namespace {

// The share of the session treated as warm-up (this exact double, as the thresholds were tuned).
constexpr double WarmUpShare = 0.15000000000000002;
// A span beyond this is taken to be in milliseconds.
constexpr int64_t MillisecondSpan = 100000;

// The footprint-relative limits of one phase: a rise, a fall and the noise of a flat stretch.
struct Thresholds {
    float rise{};
    float drop{};
    float flat{};
};

Thresholds ThresholdsFor(float startMB) {
    float b = std::max(1.0f, startMB);
    return {std::max(0.5f, static_cast<float>(b * 0.01)), std::max(0.4f, static_cast<float>(b * 0.008)),
            std::max(0.1f, static_cast<float>(b * 0.002))};
}

struct Segmenter {
    const HistoryPoint* slots{};
    std::array<float, HistorySlotCount> smoothed{};
    int64_t first{};
    int64_t last{};
    DateValue t0{};
    float timeDivisor{1.0f};
    float totalDuration{};
    float warmUpWindow{};
    DateValue warmUpEnd{};
    float settledReference{};
    // The phase being built.
    PhaseKind kind{PhaseKind::WarmUp};
    int64_t startSlot{};
    float startMB{};
    Text startTime;
    float phaseMax{};
    float phaseMin{};
    int64_t flatCount{};

    // Seconds from one slot to another, in the unit the whole session uses.
    float Duration(int64_t from, int64_t to) const {
        double difference = static_cast<double>(slots[to].timestamp) - static_cast<double>(slots[from].timestamp);
        return static_cast<float>(difference) / timeDivisor;
    }
    Text TimeOf(int64_t slot) const { return FormatPhaseTime(slots[slot].timestamp, t0); }
};

// First and last active slot; false when fewer than three slots are active.
bool FindActiveRange(const SampleHistory& history, int64_t& first, int64_t& last) {
    int64_t active = 0;
    for (int64_t i = 0; i < HistorySlotCount; ++i) {
        if (!IsActive(history.slots[i])) continue;
        if (active == 0) first = i;
        last = i;
        ++active;
    }
    return active >= MinActiveSlots;
}

void SetTimeUnit(Segmenter& s) {
    // Wrap-around, as the runtime's 64-bit arithmetic does, so absurd stamps cannot overflow.
    int64_t span = static_cast<int64_t>(static_cast<uint64_t>(s.slots[s.last].timestamp) - static_cast<uint64_t>(s.t0));
    s.timeDivisor = span > MillisecondSpan ? 1000.0f : 1.0f;
    s.totalDuration = static_cast<float>(span) / s.timeDivisor;
    if (!(s.totalDuration > 0.0f)) s.totalDuration = 1.0f;
}

void Smooth(Segmenter& s) {
    s.smoothed[s.first] = s.slots[s.first].footprintMB;
    s.smoothed[s.last] = s.slots[s.last].footprintMB;
    for (int64_t i = s.first + 1; i < s.last; ++i) {
        double sum = (static_cast<double>(s.slots[i].footprintMB) + s.slots[i - 1].footprintMB) + s.slots[i + 1].footprintMB;
        s.smoothed[i] = static_cast<float>(sum / 3.0);
    }
}

// The warm-up window, its end, and the footprint the process settles to after it.
void SetWarmUp(Segmenter& s, SegmentationResult& result) {
    float window = static_cast<float>(s.totalDuration * WarmUpShare);
    window = std::max(std::min(window, 120.0f), 10.0f);
    if (window > s.totalDuration * 0.5f) window = s.totalDuration * 0.5f;
    s.warmUpWindow = window;
    // Halves to even; an end beyond the 64-bit range stops at its bound.
    s.warmUpEnd = RoundToInteger(static_cast<double>(window) * s.timeDivisor + static_cast<double>(s.t0));
    int64_t settledIndex = s.first;
    for (int64_t i = s.first; i <= s.last; ++i) {
        if (s.slots[i].timestamp >= s.warmUpEnd) {
            settledIndex = i;
            break;
        }
    }
    s.settledReference = s.smoothed[settledIndex];
    result.warmUpExcluded = settledIndex > s.first;
}

// The kind the curve turns to at slot i, if any; a phase must span two slots before it can end.
std::optional<PhaseKind> Candidate(const Segmenter& s, int64_t i, float x, float slope, float newMax,
                                   float newMin, const Thresholds& t) {
    if (i - s.startSlot < 2) return std::nullopt;
    double rise = static_cast<double>(x) - s.startMB;
    double fall = static_cast<double>(s.startMB) - x;
    switch (s.kind) {
        case PhaseKind::WarmUp:
            if (!(s.Duration(s.startSlot, i) >= s.warmUpWindow || s.slots[i].timestamp >= s.warmUpEnd))
                return std::nullopt;
            if (rise >= t.rise) return PhaseKind::Spike;
            if (fall >= t.drop) return PhaseKind::Release;
            return PhaseKind::Baseline;
        case PhaseKind::Baseline:
        case PhaseKind::Flatline:
            if (rise >= t.rise && slope > 0.01f) return PhaseKind::Spike;
            if (fall >= t.drop && slope < -0.01f) return PhaseKind::Release;
            return std::nullopt;
        case PhaseKind::Spike:
            if (static_cast<double>(newMax) - x >= t.drop || slope < -0.05f) return PhaseKind::Release;
            if (s.flatCount >= 3) return PhaseKind::Flatline;
            return std::nullopt;
        case PhaseKind::Release:
            if (static_cast<double>(x) - newMin >= t.rise || slope > 0.05f) return PhaseKind::Spike;
            if (s.flatCount >= 3) return PhaseKind::Flatline;
            return std::nullopt;
    }
    return std::nullopt;
}

// Short or contradictory phases are not written; the curve stays in them instead.
bool MayClose(PhaseKind kind, float deltaMB, float durationSec) {
    bool levelKind = kind == PhaseKind::Baseline || kind == PhaseKind::Flatline || kind == PhaseKind::WarmUp;
    if (!(std::fabs(deltaMB) >= 0.1 || levelKind)) return false;
    if (kind == PhaseKind::Spike && deltaMB < 0.0f) return false;
    if (kind == PhaseKind::Flatline && durationSec < 2.0f) return false;
    if (kind == PhaseKind::Release && (deltaMB > 0.0f || durationSec < 3.0f)) return false;
    return true;
}

void AddReclaimed(SegmentationResult& r, float startMB, float endMB) {
    r.reclaimedMB = static_cast<float>(static_cast<double>(r.reclaimedMB) + (static_cast<double>(startMB) - endMB));
}

PhaseRow MakeRow(const Segmenter& s, PhaseKind kind, int64_t endSlot, bool finalPhase) {
    PhaseRow row;
    row.kind = kind;
    row.startSlot = s.startSlot;
    row.endSlot = endSlot;
    row.startTime = s.startTime;
    row.endTime = s.TimeOf(endSlot);
    row.startMB = s.startMB;
    row.endMB = s.smoothed[endSlot];
    row.deltaMB = row.endMB - row.startMB;
    row.durationSec = s.Duration(s.startSlot, endSlot);
    row.rateMBs = row.deltaMB / std::max(1.0f, row.durationSec);
    row.noteId = PhaseNoteId(kind, finalPhase);
    return row;
}

// Ends the current phase at the slot before i and starts the candidate there, unless the phase
// is too short or contradicts its kind.
void TryClose(Segmenter& s, SegmentationResult& r, int64_t i, float x, PhaseKind candidate, const Thresholds& t,
              float newMax, float newMin) {
    int64_t e = i - 1;
    float endMB = s.smoothed[e];
    float deltaMB = endMB - s.startMB;
    // A flat stretch that turned out to climb or fall is named after what it did.
    if (s.kind == PhaseKind::Flatline) {
        if (deltaMB >= t.rise) s.kind = PhaseKind::Spike;
        else if (deltaMB <= -t.drop) s.kind = PhaseKind::Release;
    }
    if (!MayClose(s.kind, deltaMB, s.Duration(s.startSlot, e))) {
        s.phaseMax = newMax;
        s.phaseMin = newMin;
        return;
    }
    if (s.kind == PhaseKind::WarmUp || s.kind == PhaseKind::Baseline) s.settledReference = endMB;
    if (s.kind == PhaseKind::Release) {
        s.settledReference = std::min(endMB, s.settledReference);
        if (r.lowestFloorMB < 0.0f || endMB < r.lowestFloorMB) r.lowestFloorMB = endMB;
        ++r.releaseCount;
        if (endMB < s.startMB) AddReclaimed(r, s.startMB, endMB);
        r.lastFloorMB = endMB;
    }
    r.rows.push_back(MakeRow(s, s.kind, e, false));
    s.kind = candidate;
    s.startSlot = e;
    s.startMB = endMB;
    s.startTime = r.rows.back().endTime;
    s.phaseMax = s.phaseMin = x;
    s.flatCount = 0;
}

void Scan(Segmenter& s, SegmentationResult& r) {
    for (int64_t i = s.first + 1; i <= s.last; ++i) {
        float x = s.smoothed[i];
        if (!(x > 0.0f)) continue;
        Thresholds t = ThresholdsFor(s.startMB);
        double step = static_cast<double>(x) - s.smoothed[i - 1];
        s.flatCount = std::fabs(step) <= t.flat ? s.flatCount + 1 : 0;
        float dt = std::max(0.1f, s.Duration(i - 1, i));
        float slope = static_cast<float>(step) / dt;
        float newMax = std::max(x, s.phaseMax);
        float newMin = std::min(x, s.phaseMin);
        std::optional<PhaseKind> candidate = Candidate(s, i, x, slope, newMax, newMin, t);
        if (candidate == s.kind) candidate.reset();
        r.peakMB = std::max(x, r.peakMB);
        if (!candidate) {
            s.phaseMax = newMax;
            s.phaseMin = newMin;
            continue;
        }
        TryClose(s, r, i, x, *candidate, t, newMax, newMin);
    }
}

// The last phase is always written and named by its overall change.
void WriteFinalPhase(Segmenter& s, SegmentationResult& r) {
    float endMB = s.smoothed[s.last];
    float deltaMB = endMB - s.startMB;
    PhaseKind kind = s.kind;
    if (deltaMB > 1.0f) kind = PhaseKind::Spike;
    else if (deltaMB < -0.8f) kind = PhaseKind::Release;
    else if (kind != PhaseKind::WarmUp && kind != PhaseKind::Baseline) kind = PhaseKind::Flatline;
    if (kind == PhaseKind::Release) {
        ++r.releaseCount;
        AddReclaimed(r, s.startMB, endMB);
        if (r.lowestFloorMB < 0.0f) r.lowestFloorMB = endMB;
        if (s.settledReference >= r.peakMB) s.settledReference = endMB;
        r.lastFloorMB = endMB;
    }
    r.rows.push_back(MakeRow(s, kind, s.last, true));
    r.finalKind = kind;
}

}  // namespace

TextId PhaseNameId(PhaseKind kind) {
    switch (kind) {
        case PhaseKind::WarmUp: return TextId::PhaseWarmUp;
        case PhaseKind::Spike: return TextId::PhaseSpike;
        case PhaseKind::Release: return TextId::PhaseRelease;
        case PhaseKind::Baseline: return TextId::PhaseBaseline;
        case PhaseKind::Flatline: return TextId::PhaseFlatline;
    }
    return TextId{};
}

TextId PhaseNoteId(PhaseKind kind, bool finalPhase) {
    switch (kind) {
        case PhaseKind::WarmUp: return TextId::NoteWarmUp;
        case PhaseKind::Spike: return finalPhase ? TextId::NoteFinalSpike : TextId::NoteSpike;
        case PhaseKind::Release: return TextId::NoteRelease;
        case PhaseKind::Baseline: return TextId::NoteBaseline;
        case PhaseKind::Flatline: return TextId::NoteFlatline;
    }
    return TextId{};
}

Text FormatPhaseTime(DateValue timestamp, DateValue t0) {
    // Stamps this small are seconds of a relative or time-of-day clock, not dates.
    if (timestamp < 1000000001) {
        int64_t seconds = static_cast<int64_t>(static_cast<uint64_t>(timestamp) - static_cast<uint64_t>(t0));
        return Str(seconds) + u"s";
    }
    return FormatDate(u"%hh:%ii:%ss", timestamp);
}

bool SegmentHistory(const SampleHistory& history, SegmentationResult& result) {
    Segmenter s;
    if (history.slots.size() < HistorySlotCount || !FindActiveRange(history, s.first, s.last)) return false;
    SegmentationResult r;
    s.slots = &history.slots[0];
    s.t0 = s.slots[s.first].timestamp;
    SetTimeUnit(s);
    Smooth(s);
    SetWarmUp(s, r);
    s.kind = PhaseKind::WarmUp;
    s.startSlot = s.first;
    s.startMB = s.smoothed[s.first];
    s.startTime = FormatPhaseTime(s.t0, s.t0);
    s.phaseMax = s.phaseMin = r.peakMB = s.smoothed[s.first];
    Scan(s, r);
    WriteFinalPhase(s, r);
    r.firstMB = s.smoothed[s.first];
    r.finalMB = s.smoothed[s.last];
    r.settledReference = s.settledReference;
    result = std::move(r);
    return true;
}
