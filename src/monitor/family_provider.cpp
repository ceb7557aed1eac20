#include "monitor/family_provider.h"

void FamilyProcessProvider::ReadFamily(int32_t root, int readingFd, TaskInfo& out) {
    if (familyFd_ != readingFd || !family_.Following()) {
        familyFd_ = readingFd;
        family_.Follow(root, out.startTime);
    }
    FamilyReading reading;
    familyRead_ = family_.Read(reading) && reading.task.startTime == out.startTime;
    if (!familyRead_) return;  // the process's own figures, read through its own files
    familyFootprint_ = reading.footprintBytes;
    const uint64_t startTime = out.startTime;
    out = reading.task;
    out.startTime = startTime;
}

bool FamilyProcessProvider::HasFamilyFootprint(int readingFd) const {
    return readingFd == familyFd_ && familyRead_ && familyFootprint_ > 0;
}

void FamilyProcessProvider::Forget(int readingFd) {
    if (readingFd != familyFd_) return;
    family_.Clear();
    familyFd_ = -1;
    familyRead_ = false;
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
    if (handle == openedHandle_) ReadFamily(openedPid_, handle, out);
    return true;
}

int64_t FamilyProcessProvider::ReadFootprint(int handle) {
    return HasFamilyFootprint(handle) ? familyFootprint_ : ReadPhysicalFootprintAt(handle);
}

bool FamilyProcessProvider::HoldProcess(int32_t pid, ProcessHold& out) { return ::HoldProcess(pid, out); }

void FamilyProcessProvider::ReleaseProcess(ProcessHold& hold) {
    Forget(hold.statFd);
    ::ReleaseProcess(hold);
}

bool FamilyProcessProvider::HoldEnded(const ProcessHold& hold) { return ProcessHoldEnded(hold); }

bool FamilyProcessProvider::ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) {
    if (!::ReadHeldTaskInfo(hold, out)) return false;
    ReadFamily(hold.pid, hold.statFd, out);
    return true;
}

int64_t FamilyProcessProvider::ReadHeldFootprint(const ProcessHold& hold) {
    return HasFamilyFootprint(hold.statFd) ? familyFootprint_ : ReadHeldPhysicalFootprint(hold);
}
