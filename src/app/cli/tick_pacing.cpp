#include "app/cli/tick_pacing.h"

#include <algorithm>

#include "app/cli/cli_options.h"

bool NoteTick(TickPacing& pacing, int64_t startMs, int64_t endMs) {
    bool first = false;
    if (endMs - startMs > pacing.intervalMs) {
        ++pacing.late;
        first = !pacing.told;
        pacing.told = true;
    }
    pacing.nextMs += pacing.intervalMs;
    if (pacing.nextMs <= endMs) {
        pacing.skipped += (endMs - pacing.nextMs) / pacing.intervalMs + 1;
        pacing.nextMs = endMs + pacing.intervalMs;
    }
    return first;
}

int64_t SuggestedIntervalMs(int64_t costMs) {
    const int64_t spare = (costMs * 3 / 2 + 99) / 100 * 100;
    return std::clamp(spare, MinIntervalMs, MaxIntervalMs);
}
