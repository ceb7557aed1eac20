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
// tested without real processes. A handle names one process for all the queries of one reading.
// Whoever owns a provider owns what it keeps between the queries of a reading.
class ProcessProvider {
public:
    virtual ~ProcessProvider() = default;
    virtual int OpenProcess(int32_t pid) = 0;  // a handle >= 0, or -1 when there is no such process
    virtual void CloseProcess(int handle) = 0;
    virtual bool ReadTaskInfo(int handle, TaskInfo& out) = 0;  // false: gone or not readable
    virtual int64_t ReadFootprint(int handle) = 0;  // bytes; 0 or less when it cannot be told

    // Holding one process across readings, as the platform's HoldProcess and its companions do. A
    // provider that cannot hold keeps these as they are; a held target is then read by PID and
    // start time.
    virtual bool CanHold() const { return false; }
    virtual bool HoldProcess(int32_t pid, ProcessHold& out) { return false; }
    virtual void ReleaseProcess(ProcessHold& hold) {}
    virtual bool HoldEnded(const ProcessHold& hold) { return true; }
    virtual bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) { return false; }
    virtual int64_t ReadHeldFootprint(const ProcessHold& hold) { return -1; }
};

// The system's own process information. It keeps nothing, so every session may share it.
ProcessProvider& SystemProcessProvider();

// Reads the process with this PID into out. False, with out untouched, only when the process
// cannot be read: it has gone, is a zombie, cannot be inspected, or (when expectedStartTime is
// not 0) the PID now belongs to a process with another start time. Allocates nothing.
bool ReadMemorySample(int32_t pid, MemorySample& out, uint64_t expectedStartTime = 0,
                      ProcessProvider& provider = SystemProcessProvider());

// The target of a monitoring session, held from the moment it is opened until it is closed, so
// that every reading is of exactly that process: never of another that took over its PID, and
// never of it after it has ended.
struct HeldTarget {
    int32_t pid{};
    uint64_t startTime{};  // confirmed when opened
    ProcessHold hold;
    bool held{};  // false: the provider cannot hold, and each reading goes by PID and start time
    ProcessProvider* provider{};  // the one it was opened with, which reads and releases it
};

// Holds the process with this PID, then confirms that it is the one that started at
// expectedStartTime (any start time when 0). False, holding nothing, when it has gone, cannot be
// read or is another process.
bool OpenHeldTarget(int32_t pid, uint64_t expectedStartTime, HeldTarget& out,
                    ProcessProvider& provider = SystemProcessProvider());
// ReadMemorySample of the held process: false, with out untouched, once it has ended or cannot be
// read, for good. Allocates nothing.
bool ReadHeldTargetSample(HeldTarget& target, MemorySample& out);
// Lets go of the process; harmless on a target never opened or already closed.
void CloseHeldTarget(HeldTarget& target);
// A descriptor that becomes readable when the held process ends, for waiting on it in poll; -1
// when there is none (not held, no pidfd, a fixture root). It stays the target's: never close it.
int HeldTargetEndFd(const HeldTarget& target);

// The one rule for every megabyte value shown, logged or stored: bytes / 1048576 computed in
// double precision, then rounded to a float.
float BytesToMB(int64_t bytes);
