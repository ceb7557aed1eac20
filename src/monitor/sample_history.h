// The footprint history: the last 300 points of a session, or the first 300 rows of a loaded log.
// The trend graph draws it and the phase analysis reads it.
#pragma once

#include <cstdint>

#include "runtime/date.h"
#include "runtime/map.h"

inline constexpr int64_t HistorySlotCount = 300;

struct HistoryPoint {
    DateValue timestamp{};
    float footprintMB{};
    float virtualMB{};
};

// Slot 0 holds the oldest point. Readers scan all 300 slots and skip the inactive ones; the count
// only tells Append where the next point goes.
struct SampleHistory {
    SampleHistory() { slots.DimArray(HistorySlotCount); }

    ZeroArray<HistoryPoint> slots;
    int64_t count{};
};

// A slot that holds no footprint (zero, negative or not a number) is skipped by every reader.
inline bool IsActive(const HistoryPoint& point) { return point.footprintMB > 0.0f; }

// All slots zero and the count 0: a new session starts.
void ClearHistory(SampleHistory& history);
// All slots zero, the count left as it is: a log is about to be loaded from slot 0 upward.
void ClearHistorySlots(SampleHistory& history);
// Stores the point after the newest one; a full history drops its oldest point first.
void AppendHistoryPoint(SampleHistory& history, DateValue timestamp, float footprintMB, float virtualMB);
