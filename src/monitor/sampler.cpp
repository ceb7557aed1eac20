#include "monitor/sampler.h"

namespace {

// The platform's readers, holding the target where the platform can.
class SystemProvider final : public ProcessProvider {
public:
    int OpenProcess(int32_t pid) override { return OpenProcessDir(pid); }
    void CloseProcess(int handle) override { CloseProcessDir(handle); }
    bool ReadTaskInfo(int handle, TaskInfo& out) override { return ReadTaskInfoAt(handle, out); }
    int64_t ReadFootprint(int handle) override { return ReadPhysicalFootprintAt(handle); }
    bool CanHold() const override { return true; }
    bool HoldProcess(int32_t pid, ProcessHold& out) override { return ::HoldProcess(pid, out); }
    void ReleaseProcess(ProcessHold& hold) override { ::ReleaseProcess(hold); }
    bool HoldEnded(const ProcessHold& hold) override { return ProcessHoldEnded(hold); }
    bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) override { return ::ReadHeldTaskInfo(hold, out); }
    int64_t ReadHeldFootprint(const ProcessHold& hold) override { return ReadHeldPhysicalFootprint(hold); }
};

// The physical footprint if it is known; otherwise the resident size of a fresh task reading,
// since the first reading's may be stale by now; otherwise 0.
template <typename ReadFootprint, typename ReadTask>
int64_t FootprintBytes(ReadFootprint readFootprint, ReadTask readTaskInfo) {
    int64_t footprint = readFootprint();
    if (footprint > 0) return footprint;
    TaskInfo second;
    return readTaskInfo(second) ? second.residentBytes : 0;
}

void CopyCounters(const TaskInfo& task, int64_t footprint, MemorySample& out) {
    out.virtualBytes = task.virtualBytes;
    out.pageFaults = task.pageFaults;
    out.pageIns = task.pageIns;
    out.cowFaults = task.cowFaults;
    out.threadCount = task.threadCount;
    out.footprintBytes = footprint;
}

}  // namespace

ProcessProvider& SystemProcessProvider() {
    static SystemProvider system;
    return system;
}

bool ReadMemorySample(int32_t pid, MemorySample& out, uint64_t expectedStartTime, ProcessProvider& provider) {
    int handle = provider.OpenProcess(pid);
    if (handle < 0) return false;
    TaskInfo task;
    bool readable = provider.ReadTaskInfo(handle, task) &&
                    (expectedStartTime == 0 || task.startTime == expectedStartTime);
    if (readable)
        CopyCounters(task,
                     FootprintBytes([&] { return provider.ReadFootprint(handle); },
                                    [&](TaskInfo& second) { return provider.ReadTaskInfo(handle, second); }),
                     out);
    provider.CloseProcess(handle);
    return readable;
}

bool OpenHeldTarget(int32_t pid, uint64_t expectedStartTime, HeldTarget& out, ProcessProvider& provider) {
    out = HeldTarget{};
    TaskInfo task;
    if (!provider.CanHold()) {
        int handle = provider.OpenProcess(pid);
        if (handle < 0) return false;
        bool readable = provider.ReadTaskInfo(handle, task);
        provider.CloseProcess(handle);
        if (!readable || (expectedStartTime != 0 && task.startTime != expectedStartTime)) return false;
        out.pid = pid;
        out.startTime = task.startTime;  // each reading checks it again
        out.provider = &provider;
        return true;
    }
    ProcessHold hold;
    if (!provider.HoldProcess(pid, hold)) return false;
    // Read after the hold was taken and checked against the end after the read: the files read
    // belong to the process the hold names, which is then the one that started at that time.
    if (!provider.ReadHeldTaskInfo(hold, task) ||
        (expectedStartTime != 0 && task.startTime != expectedStartTime) || provider.HoldEnded(hold)) {
        provider.ReleaseProcess(hold);
        return false;
    }
    out = HeldTarget{pid, task.startTime, hold, true, &provider};
    return true;
}

bool ReadHeldTargetSample(HeldTarget& target, MemorySample& out) {
    if (!target.provider) return false;
    ProcessProvider& provider = *target.provider;
    if (!target.held) return target.pid > 0 && ReadMemorySample(target.pid, out, target.startTime, provider);
    TaskInfo task;
    // The start time too: where nothing else ties the files to the process (no pidfd, a fixture
    // root), a PID handed on shows as another start time.
    if (!provider.ReadHeldTaskInfo(target.hold, task) || task.startTime != target.startTime) return false;
    int64_t footprint =
        FootprintBytes([&] { return provider.ReadHeldFootprint(target.hold); },
                       [&](TaskInfo& second) { return provider.ReadHeldTaskInfo(target.hold, second); });
    // Without a pidfd (a fixture root) only the directory tells the end, so it is asked last, and
    // figures read while the process was ending are not passed on. With one, the reads speak for
    // themselves (a reaped process's files fail, a zombie or an exiting task reads as such), and a
    // system call a tick to ask again is what a recording of an idle process pays most for.
    if (target.hold.pidFd < 0 && provider.HoldEnded(target.hold)) return false;
    CopyCounters(task, footprint, out);
    return true;
}

void CloseHeldTarget(HeldTarget& target) {
    if (target.held && target.provider) target.provider->ReleaseProcess(target.hold);
    target = HeldTarget{};
}

int HeldTargetEndFd(const HeldTarget& target) { return target.held ? target.hold.pidFd : -1; }

float BytesToMB(int64_t bytes) {
    return float(double(bytes) * 9.5367431640625e-07);
}
