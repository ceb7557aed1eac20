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
    // Holding one process across readings, as the platform's HoldProcess and its companions do. A
    // provider may leave all five unset; a held target is then read by PID and start time.
    bool (*holdProcess)(int32_t pid, ProcessHold& out){};
    void (*releaseProcess)(ProcessHold& hold){};
    bool (*holdEnded)(const ProcessHold& hold){};
    bool (*readHeldTaskInfo)(const ProcessHold& hold, TaskInfo& out){};
    int64_t (*readHeldFootprint)(const ProcessHold& hold){};
};

// The system's own process information.
const ProcessProvider& SystemProcessProvider();
// Makes ReadMemorySample use provider from now on; returns the one it used before.
ProcessProvider SetProcessProvider(const ProcessProvider& provider);

// Reads the process with this PID into out. False, with out untouched, only when the process
// cannot be read: it has gone, is a zombie, cannot be inspected, or (when expectedStartTime is
// not 0) the PID now belongs to a process with another start time. Allocates nothing.
bool ReadMemorySample(int32_t pid, MemorySample& out, uint64_t expectedStartTime = 0);

// The target of a monitoring session, held from the moment it is opened until it is closed, so
// that every reading is of exactly that process: never of another that took over its PID, and
// never of it after it has ended.
struct HeldTarget {
    int32_t pid{};
    uint64_t startTime{};  // confirmed when opened
    ProcessHold hold;
    bool held{};  // false: the provider cannot hold, and each reading goes by PID and start time
};

// Holds the process with this PID, then confirms that it is the one that started at
// expectedStartTime (any start time when 0). False, holding nothing, when it has gone, cannot be
// read or is another process.
bool OpenHeldTarget(int32_t pid, uint64_t expectedStartTime, HeldTarget& out);
// ReadMemorySample of the held process: false, with out untouched, once it has ended or cannot be
// read, for good. Allocates nothing.
bool ReadHeldTargetSample(HeldTarget& target, MemorySample& out);
// Lets go of the process; harmless on a target never opened or already closed.
void CloseHeldTarget(HeldTarget& target);

// The one rule for every megabyte value shown, logged or stored: bytes / 1048576 computed in
// double precision, then rounded to a float.
float BytesToMB(int64_t bytes);
