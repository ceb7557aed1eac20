#include "monitor/sample_history.h"

#include <algorithm>

void ClearHistorySlots(SampleHistory& history) {
    if (history.slots.size() != HistorySlotCount) history.slots.DimArray(HistorySlotCount);
    std::fill_n(history.slots.data(), HistorySlotCount, HistoryPoint{});
}

void ClearHistory(SampleHistory& history) {
    ClearHistorySlots(history);
    history.count = 0;
}

void AppendHistoryPoint(SampleHistory& history, DateValue timestamp, float footprintMB, float virtualMB) {
    // A count outside 0..300 can only come from a caller's mistake; never index outside the slots.
    if (history.count < 0) history.count = 0;
    if (history.count >= HistorySlotCount) {
        HistoryPoint* slots = history.slots.data();
        std::move(slots + 1, slots + HistorySlotCount, slots);
        history.count = HistorySlotCount - 1;
    }
    history.slots[history.count] = HistoryPoint{timestamp, footprintMB, virtualMB};
    ++history.count;
}
