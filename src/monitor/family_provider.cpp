#include "monitor/family_provider.h"

#include <climits>

#include "platform/process_tree.h"

namespace {

int32_t AddCount(int32_t a, int32_t b) {
    int64_t sum = int64_t(a) + int64_t(b);
    return sum > INT32_MAX ? INT32_MAX : int32_t(sum);
}

int64_t AddBytes(int64_t a, int64_t b) { return b > INT64_MAX - a ? INT64_MAX : a + b; }

}  // namespace

void FamilyProcessProvider::AddDescendants(int32_t root, int readingFd, TaskInfo& out) {
    readingFd_ = readingFd;
    descendantsFootprint_ = 0;
    for (int32_t pid : ListDescendants(root)) {
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
            if (footprint > 0) descendantsFootprint_ = AddBytes(descendantsFootprint_, footprint);
        }
        CloseProcessDir(dirFd);
    }
}

int64_t FamilyProcessProvider::FamilyFootprint(int64_t own, int readingFd) const {
    int64_t descendants = readingFd == readingFd_ ? descendantsFootprint_ : 0;
    if (own < 0 && descendants == 0) return own;
    return AddBytes(own > 0 ? own : 0, descendants);
}

void FamilyProcessProvider::Forget(int readingFd) {
    if (readingFd != readingFd_) return;
    readingFd_ = -1;
    descendantsFootprint_ = 0;
}

int FamilyProcessProvider::OpenProcess(int32_t pid) {
    int handle = OpenProcessDir(pid);
    openedPid_ = pid;
    openedHandle_ = handle;
    return handle;
}

void FamilyProcessProvider::CloseProcess(int handle) {
    CloseProcessDir(handle);
    Forget(handle);
    if (handle == openedHandle_) openedHandle_ = -1;
}

bool FamilyProcessProvider::ReadTaskInfo(int handle, TaskInfo& out) {
    if (!ReadTaskInfoAt(handle, out)) return false;
    if (handle == openedHandle_) AddDescendants(openedPid_, handle, out);
    return true;
}

int64_t FamilyProcessProvider::ReadFootprint(int handle) {
    return FamilyFootprint(ReadPhysicalFootprintAt(handle), handle);
}

bool FamilyProcessProvider::HoldProcess(int32_t pid, ProcessHold& out) { return ::HoldProcess(pid, out); }

void FamilyProcessProvider::ReleaseProcess(ProcessHold& hold) {
    Forget(hold.statFd);
    ::ReleaseProcess(hold);
}

bool FamilyProcessProvider::HoldEnded(const ProcessHold& hold) { return ProcessHoldEnded(hold); }

bool FamilyProcessProvider::ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) {
    if (!::ReadHeldTaskInfo(hold, out)) return false;
    AddDescendants(hold.pid, hold.statFd, out);
    return true;
}

int64_t FamilyProcessProvider::ReadHeldFootprint(const ProcessHold& hold) {
    return FamilyFootprint(ReadHeldPhysicalFootprint(hold), hold.statFd);
}
