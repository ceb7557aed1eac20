// Readings of a process together with all its descendants (see ProcessFamily): the task figures
// are sums over the process and each descendant alive at that moment, so counters can fall when
// a descendant ends; the footprint counts memory shared after fork once, each member with its
// proportional share. The process's own start time stays the reading's, so a reused PID is still
// told from the target, and the process itself is held as the system provider holds it.
#pragma once

#include <vector>

#include "monitor/sampler.h"
#include "platform/process_family.h"

// A process provider that sums over the family of the opened or held process. One per session:
// it keeps the family's members' files from one reading to the next, and the family's footprint
// from a reading's task figures for the footprint that follows.
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

    // The members of the last reading, the target first and every parent before its children,
    // with their footprints and names (only those `named` accepts, when given; see
    // ProcessFamily::Members). It costs the readings nothing unless asked for. None when the last
    // reading did not sum the family (the process's own figures were read).
    std::vector<FamilyMember> Members(const std::function<bool(const FamilyMember&)>& named = {}) const {
        return familyRead_ ? family_.Members(named) : std::vector<FamilyMember>{};
    }

private:
    // Replaces the root's own task figures with the family's sums, following the family of the
    // process that readingFd reads from its first reading on.
    void ReadFamily(int32_t root, int readingFd, TaskInfo& out);
    // Whether the reading's task figures summed the family, whose footprint then stands for the
    // process's own, which is not read at all.
    bool HasFamilyFootprint(int readingFd) const;
    void Forget(int readingFd);

    ProcessFamily family_;
    int familyFd_{-1};    // the descriptor of the reading whose process the family follows
    bool familyRead_{};   // the last reading of it summed the family
    int64_t familyFootprint_{};
    int32_t openedPid_{};  // by handle: the PID the open handle names
    int openedHandle_{-1};
};
