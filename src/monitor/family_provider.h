// Readings of a process together with all its descendants: every figure of a reading is the sum
// over the process and each descendant alive at that moment. Counters can therefore fall when a
// descendant ends. The process's own start time stays the reading's, so a reused PID is still
// told from the target, and the process itself is held as the system provider holds it.
#pragma once

#include "monitor/sampler.h"

// A process provider that sums over the family of the opened or held process. One per session:
// it keeps the family's footprint from a reading's task figures for the footprint that follows.
class FamilyProcessProvider final : public ProcessProvider {
public:
    int OpenProcess(int32_t pid) override;
    void CloseProcess(int handle) override;
    bool ReadTaskInfo(int handle, TaskInfo& out) override;
    int64_t ReadFootprint(int handle) override;
    bool CanHold() const override { return true; }
    bool HoldProcess(int32_t pid, ProcessHold& out) override;
    void ReleaseProcess(ProcessHold& hold) override;
    bool HoldEnded(const ProcessHold& hold) override;
    bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) override;
    int64_t ReadHeldFootprint(const ProcessHold& hold) override;

private:
    // The root's own figures plus its descendants'; their footprint is kept for the reading's
    // footprint query, which names the root by the same descriptor.
    void AddDescendants(int32_t root, int readingFd, TaskInfo& out);
    int64_t FamilyFootprint(int64_t own, int readingFd) const;
    void Forget(int readingFd);

    int readingFd_{-1};  // the descriptor of the reading the descendants' footprint belongs to
    int64_t descendantsFootprint_{};
    int32_t openedPid_{};  // by handle: the PID the open handle names
    int openedHandle_{-1};
};
