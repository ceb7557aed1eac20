// How a recording keeps its pace when a sample costs more than the interval (a large family read
// at 100 ms) or the machine was suspended: the next tick is due one interval after the last one
// ended, the due ticks missed meanwhile are counted, never raced.
#pragma once

#include <cstdint>

struct TickPacing {
    int64_t intervalMs{};
    int64_t nextMs{};   // when the next tick is due (monotonic ms)
    int64_t late{};     // samples that took longer than the interval
    int64_t skipped{};  // due ticks never taken
    bool told{};        // the first late sample was told
};

// After a tick that began at startMs and ended at endMs: the counts and the next due time moved
// on. True once, for the first sample that took longer than the interval, for the caller to tell.
bool NoteTick(TickPacing& pacing, int64_t startMs, int64_t endMs);

// An interval that samples of this cost can keep, with half the cost again to spare: whole
// hundreds of ms, 100 to 60000.
int64_t SuggestedIntervalMs(int64_t costMs);
