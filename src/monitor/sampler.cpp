#include "monitor/sampler.h"

namespace {

ProcessProvider& CurrentProvider() {
    static ProcessProvider provider = SystemProcessProvider();
    return provider;
}

// The physical footprint if it is known; otherwise the resident size of a fresh task reading,
// since the first reading's may be stale by now; otherwise 0.
template <typename ReadFootprint, typename ReadTask, typename Handle>
int64_t FootprintBytes(ReadFootprint readFootprint, ReadTask readTaskInfo, const Handle& handle) {
    int64_t footprint = readFootprint(handle);
    if (footprint > 0) return footprint;
    TaskInfo second;
    return readTaskInfo(handle, second) ? second.residentBytes : 0;
}

void CopyCounters(const TaskInfo& task, int64_t footprint, MemorySample& out) {
    out.virtualBytes = task.virtualBytes;
    out.pageFaults = task.pageFaults;
    out.pageIns = task.pageIns;
    out.cowFaults = task.cowFaults;
    out.threadCount = task.threadCount;
    out.footprintBytes = footprint;
}

bool CanHold(const ProcessProvider& p) {
    return p.holdProcess && p.releaseProcess && p.holdEnded && p.readHeldTaskInfo && p.readHeldFootprint;
}

}  // namespace

const ProcessProvider& SystemProcessProvider() {
    static const ProcessProvider system{OpenProcessDir,    CloseProcessDir,  ReadTaskInfoAt,
                                        ReadPhysicalFootprintAt, HoldProcess, ReleaseProcess,
                                        ProcessHoldEnded,  ReadHeldTaskInfo, ReadHeldPhysicalFootprint};
    return system;
}

ProcessProvider SetProcessProvider(const ProcessProvider& provider) {
    ProcessProvider previous = CurrentProvider();
    CurrentProvider() = provider;
    return previous;
}

bool ReadMemorySample(int32_t pid, MemorySample& out, uint64_t expectedStartTime) {
    const ProcessProvider& provider = CurrentProvider();
    int handle = provider.openProcess(pid);
    if (handle < 0) return false;
    TaskInfo task;
    bool readable = provider.readTaskInfo(handle, task) &&
                    (expectedStartTime == 0 || task.startTime == expectedStartTime);
    if (readable) CopyCounters(task, FootprintBytes(provider.readFootprint, provider.readTaskInfo, handle), out);
    provider.closeProcess(handle);
    return readable;
}

bool OpenHeldTarget(int32_t pid, uint64_t expectedStartTime, HeldTarget& out) {
    const ProcessProvider& provider = CurrentProvider();
    out = HeldTarget{};
    TaskInfo task;
    if (!CanHold(provider)) {
        int handle = provider.openProcess(pid);
        if (handle < 0) return false;
        bool readable = provider.readTaskInfo(handle, task);
        provider.closeProcess(handle);
        if (!readable || (expectedStartTime != 0 && task.startTime != expectedStartTime)) return false;
        out.pid = pid;
        out.startTime = task.startTime;  // each reading checks it again
        return true;
    }
    ProcessHold hold;
    if (!provider.holdProcess(pid, hold)) return false;
    // Read after the hold was taken and checked against the end after the read: the files read
    // belong to the process the hold names, which is then the one that started at that time.
    if (!provider.readHeldTaskInfo(hold, task) ||
        (expectedStartTime != 0 && task.startTime != expectedStartTime) || provider.holdEnded(hold)) {
        provider.releaseProcess(hold);
        return false;
    }
    out = HeldTarget{pid, task.startTime, hold, true};
    return true;
}

bool ReadHeldTargetSample(HeldTarget& target, MemorySample& out) {
    if (!target.held) return target.pid > 0 && ReadMemorySample(target.pid, out, target.startTime);
    const ProcessProvider& provider = CurrentProvider();
    TaskInfo task;
    // The start time too: where nothing else ties the files to the process (no pidfd, a fixture
    // root), a PID handed on shows as another start time.
    if (!provider.readHeldTaskInfo(target.hold, task) || task.startTime != target.startTime) return false;
    int64_t footprint = FootprintBytes(provider.readHeldFootprint, provider.readHeldTaskInfo, target.hold);
    // Checked last, so that figures read while the process was ending are not passed on.
    if (provider.holdEnded(target.hold)) return false;
    CopyCounters(task, footprint, out);
    return true;
}

void CloseHeldTarget(HeldTarget& target) {
    if (target.held) CurrentProvider().releaseProcess(target.hold);
    target = HeldTarget{};
}

float BytesToMB(int64_t bytes) {
    return float(double(bytes) * 9.5367431640625e-07);
}
