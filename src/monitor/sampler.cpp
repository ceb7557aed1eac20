#include "monitor/sampler.h"

namespace {

ProcessProvider& CurrentProvider() {
    static ProcessProvider provider = SystemProcessProvider();
    return provider;
}

// The physical footprint if it is known; otherwise the resident size of a fresh task reading,
// since the first reading's may be stale by now; otherwise 0.
int64_t FootprintBytes(const ProcessProvider& provider, int handle) {
    int64_t footprint = provider.readFootprint(handle);
    if (footprint > 0) return footprint;
    TaskInfo second;
    return provider.readTaskInfo(handle, second) ? second.residentBytes : 0;
}

}  // namespace

const ProcessProvider& SystemProcessProvider() {
    static const ProcessProvider system{OpenProcessDir, CloseProcessDir, ReadTaskInfoAt,
                                        ReadPhysicalFootprintAt};
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
    if (readable) {
        out.virtualBytes = task.virtualBytes;
        out.pageFaults = task.pageFaults;
        out.pageIns = task.pageIns;
        out.cowFaults = task.cowFaults;
        out.threadCount = task.threadCount;
        out.footprintBytes = FootprintBytes(provider, handle);
    }
    provider.closeProcess(handle);
    return readable;
}

float BytesToMB(int64_t bytes) {
    return float(double(bytes) * 9.5367431640625e-07);
}
