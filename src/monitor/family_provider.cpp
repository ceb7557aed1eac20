#include "monitor/family_provider.h"

#include <climits>

#include "platform/process_tree.h"

namespace {

// The family read by the last readTaskInfo, for the readFootprint of the same reading. One
// reading at a time, on one thread, as the sampler makes them.
struct FamilyReading {
    int handle{-1};
    int32_t root{};
    int64_t descendantsFootprint{};
};
FamilyReading& Current() {
    static FamilyReading reading;
    return reading;
}

int32_t AddCount(int32_t a, int32_t b) {
    int64_t sum = int64_t(a) + int64_t(b);
    return sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

int64_t AddBytes(int64_t a, int64_t b) { return b > INT64_MAX - a ? INT64_MAX : a + b; }

int OpenFamily(int32_t pid) {
    int handle = OpenProcessDir(pid);
    Current() = FamilyReading{handle, pid, 0};
    return handle;
}

void CloseFamily(int handle) {
    CloseProcessDir(handle);
    if (Current().handle == handle) Current() = FamilyReading{};
}

bool ReadFamilyTaskInfo(int handle, TaskInfo& out) {
    FamilyReading& reading = Current();
    if (!ReadTaskInfoAt(handle, out)) return false;
    reading.descendantsFootprint = 0;
    if (reading.handle != handle) return true;
    for (int32_t pid : ListDescendants(reading.root)) {
        int dirFd = OpenProcessDir(pid);
        if (dirFd < 0) continue;
        TaskInfo child;
        if (ReadTaskInfoAt(dirFd, child)) {
            out.virtualBytes = AddBytes(out.virtualBytes, child.virtualBytes);
            out.residentBytes = AddBytes(out.residentBytes, child.residentBytes);
            out.pageFaults = AddCount(out.pageFaults, child.pageFaults);
            out.pageIns = AddCount(out.pageIns, child.pageIns);
            out.cowFaults = AddCount(out.cowFaults, child.cowFaults);
            out.threadCount = AddCount(out.threadCount, child.threadCount);
            int64_t footprint = ReadPhysicalFootprintAt(dirFd);
            if (footprint > 0) reading.descendantsFootprint = AddBytes(reading.descendantsFootprint, footprint);
        }
        CloseProcessDir(dirFd);
    }
    return true;
}

int64_t ReadFamilyFootprint(int handle) {
    int64_t own = ReadPhysicalFootprintAt(handle);
    int64_t descendants = Current().handle == handle ? Current().descendantsFootprint : 0;
    if (own < 0 && descendants == 0) return own;
    return AddBytes(own > 0 ? own : 0, descendants);
}

}  // namespace

const ProcessProvider& FamilyProcessProvider() {
    static const ProcessProvider family{OpenFamily, CloseFamily, ReadFamilyTaskInfo, ReadFamilyFootprint};
    return family;
}
