// The memory sampler: one reading of the target process's memory. It keeps nothing between
// readings; baselines, deltas and streaks belong to the monitoring session.
#pragma once

#include <cstdint>

#include "platform/process_info.h"

// One reading. The counters are cumulative since the process started and passed on as read.
struct MemorySample {
    int64_t virtualBytes{};
    int64_t footprintBytes{};  // physical footprint; else the resident size; 0 when neither is known
    int32_t pageFaults{};
    int32_t pageIns{};
    int32_t cowFaults{};
    int32_t threadCount{};
};

// The process-information queries a reading is made of, replaceable so that the session can be
// tested without real processes. A handle names one process for all the queries of one reading;
// every field must be set.
struct ProcessProvider {
    int (*openProcess)(int32_t pid){};  // a handle >= 0, or -1 when there is no such process
    void (*closeProcess)(int handle){};
    bool (*readTaskInfo)(int handle, TaskInfo& out){};  // false: gone or not readable
    int64_t (*readFootprint)(int handle){};  // bytes; 0 or less when it cannot be told
};

// The system's own process information.
const ProcessProvider& SystemProcessProvider();
// Makes ReadMemorySample use provider from now on; returns the one it used before.
ProcessProvider SetProcessProvider(const ProcessProvider& provider);

// Reads the process with this PID into out. False, with out untouched, only when the process
// cannot be read: it has gone, is a zombie, cannot be inspected, or (when expectedStartTime is
// not 0) the PID now belongs to a process with another start time. Allocates nothing.
bool ReadMemorySample(int32_t pid, MemorySample& out, uint64_t expectedStartTime = 0);

// The one rule for every megabyte value shown, logged or stored: bytes / 1048576 computed in
// double precision, then rounded to a float.
float BytesToMB(int64_t bytes);
