#include "platform/linux/proc_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>

namespace proc {

namespace {

// A count the kernel keeps as unsigned long, held within the signed 32-bit range of the record.
int32_t SaturateCount(uint64_t count) {
    return count > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(count);
}

int64_t SaturateBytes(uint64_t bytes) {
    return bytes > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(bytes);
}

int64_t PageSize() {
    static const int64_t size = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
    return size;
}

// Fields of /proc/PID/stat after the command name, numbered from 0 for the state (field 3).
enum StatField : int {
    StatState = 0,
    StatParent = 1,
    StatFlags = 6,
    StatMinorFaults = 7,
    StatMajorFaults = 9,
    StatThreads = 17,
    StatStartTime = 19,
    StatVirtualSize = 20,
    StatResidentPages = 21,
    StatFieldsNeeded = 22,
};

// Bits of the stat line's flags field (the kernel's PF_EXITING and PF_KTHREAD).
constexpr uint64_t ProcessExiting = 0x4;
constexpr uint64_t ProcessKernelThread = 0x200000;

StatRead ParseStat(std::string_view text, TaskInfo& out, int32_t* parentPid) {
    std::string_view fields[StatFieldsNeeded];
    if (!SplitStatFields(text, fields, StatFieldsNeeded)) return StatRead::Unreadable;
    std::string_view state = fields[StatState];
    uint64_t flags = 0, minor = 0, major = 0, threads = 0, start = 0, virtualSize = 0;
    int64_t residentPages = 0;
    if (state.size() != 1 || !ParseNumber(fields[StatFlags], flags) ||
        !ParseNumber(fields[StatMinorFaults], minor) || !ParseNumber(fields[StatMajorFaults], major) ||
        !ParseNumber(fields[StatThreads], threads) || !ParseNumber(fields[StatStartTime], start) ||
        !ParseNumber(fields[StatVirtualSize], virtualSize) || !ParseNumber(fields[StatResidentPages], residentPages))
        return StatRead::Unreadable;
    out.pageFaults = SaturateCount(uint64_t(SaturateCount(minor)) + SaturateCount(major));
    out.pageIns = SaturateCount(major);
    out.cowFaults = 0;
    out.threadCount = SaturateCount(threads);
    out.startTime = start;
    if (parentPid && !ParseNumber(fields[StatParent], *parentPid)) *parentPid = 0;
    // A task that has begun to exit still shows a running state while the kernel tears its memory
    // down, and reads as 0 bytes (or half released) until it turns zombie. Only kernel threads live
    // without an address space.
    if (state == "Z" || state == "X" || state == "x") return StatRead::MemoryGone;
    if ((flags & ProcessExiting) != 0) return StatRead::Exiting;
    if (virtualSize == 0 && (flags & ProcessKernelThread) == 0) return StatRead::MemoryGone;
    out.virtualBytes = SaturateBytes(virtualSize);
    out.residentBytes = residentPages > 0 ? ScaledBytes(uint64_t(residentPages), PageSize()) : 0;
    return StatRead::Live;
}

}  // namespace

int64_t KeyedNumber(std::string_view value) {
    value = TrimBlanks(value);
    int64_t number = -1;
    bool read = ParseNumber(value.substr(0, value.find_first_of(" \t")), number);
    return read && number >= 0 ? number : -1;
}

int64_t ScaledBytes(uint64_t units, uint64_t unitBytes) {
    if (unitBytes != 0 && units > uint64_t(INT64_MAX) / unitBytes) return INT64_MAX;
    return int64_t(units * unitBytes);
}

ssize_t ReadStartFrom(int fd, char* buffer, size_t size) {
    ssize_t length;
    do length = pread(fd, buffer, size - 1, 0);
    while (length < 0 && errno == EINTR);
    if (length >= 0) buffer[length] = '\0';
    return length;
}

ssize_t ReadStartAt(int dirFd, const char* name, char* buffer, size_t size) {
    const int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    const ssize_t length = ReadStartFrom(fd, buffer, size);
    close(fd);
    return length;
}

std::string_view ReadLinkAt(int dirFd, const char* name, char* buffer, size_t size) {
    const ssize_t length = readlinkat(dirFd, name, buffer, size);
    if (length <= 0 || size_t(length) >= size) return {};  // a full buffer may be cut
    return std::string_view(buffer, size_t(length));
}

StatRead ReadStatFrom(int statFd, TaskInfo& out, int32_t* parentPid) {
    char buffer[1024];
    ssize_t length = ReadStartFrom(statFd, buffer, sizeof buffer);
    if (length <= 0) return StatRead::Unreadable;
    TaskInfo read;
    StatRead result = ParseStat(std::string_view(buffer, size_t(length)), read, parentPid);
    if (result != StatRead::Unreadable) out = read;
    return result;
}

namespace {

// A status line's key and value into the fields the readers want; false for a key they do not.
bool NoteStatusField(std::string_view key, std::string_view value, StatusFields& out) {
    if (key == "Uid") out.realUid = KeyedNumber(value);
    else if (key == "RssAnon") out.rssAnonKb = KeyedNumber(value);
    else if (key == "VmPTE") out.vmPteKb = KeyedNumber(value);
    else if (key == "VmSwap") out.vmSwapKb = KeyedNumber(value);
    else return false;
    return true;
}

// The wanted lines of a whole status file, each looked for after the one before in the order the
// kernel writes them: four searches where a scan looks at every line, on the path a recording
// takes every tick. False when one is not where that order puts it.
bool FindStatusFields(std::string_view text, StatusFields& out) {
    static constexpr std::string_view keys[] = {"Uid:", "RssAnon:", "VmPTE:", "VmSwap:"};
    size_t from = 0;
    for (std::string_view key : keys) {
        size_t at = text.find(key, from);
        while (at != std::string_view::npos && at > 0 && text[at - 1] != '\n') at = text.find(key, at + 1);
        const size_t end = at == std::string_view::npos ? at : text.find('\n', at);
        if (end == std::string_view::npos) return false;
        const size_t value = at + key.size();
        NoteStatusField(key.substr(0, key.size() - 1), text.substr(value, end - value), out);
        from = end;
    }
    return true;
}

}  // namespace

// Uid holds the real, effective, saved and filesystem IDs, the Vm and Rss lines sizes in kB
// (kernel threads and exited leaders have none of the memory lines). The file is read whole in the
// common case; it can outgrow one buffer, though (a Groups line of a few hundred IDs comes before
// the memory lines), and is then read line by line until every wanted line has come or to its
// end. Only whole lines count.
bool ParseStatusFrom(int fd, StatusFields& out) {
    char buffer[4096];
    const ssize_t length = ReadStartFrom(fd, buffer, sizeof buffer);
    if (length <= 0) return false;
    if (size_t(length) < sizeof buffer - 1 && FindStatusFields(std::string_view(buffer, size_t(length)), out))
        return true;
    return ScanRecords(fd, '\n', OpenRecords::Skip, [&out](std::string_view line) {
               const size_t colon = line.find(':');
               if (colon == std::string_view::npos || !NoteStatusField(line.substr(0, colon), line.substr(colon + 1), out))
                   return false;
               return out.realUid >= 0 && out.rssAnonKb >= 0 && out.vmPteKb >= 0 && out.vmSwapKb >= 0;
           }).readable;
}

int64_t StatusFootprint(const StatusFields& status) {
    uint64_t kilobytes = 0;
    for (int64_t part : {status.rssAnonKb, status.vmSwapKb, status.vmPteKb})
        if (part > 0) kilobytes += uint64_t(part);  // each below 2^63: the sum cannot wrap
    return ScaledBytes(kilobytes, 1024);
}

bool OpenLiveThread(int dirFd, ThreadFiles& files, TaskInfo& out) {
    files = ThreadFiles{};
    const int taskFd = openat(dirFd, "task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (taskFd < 0) return false;
    DIR* tasks = fdopendir(taskFd);
    if (!tasks) {
        close(taskFd);
        return false;
    }
    VisitNumbered(tasks, [&](int32_t tid, const dirent&) {
        char name[64];
        std::snprintf(name, sizeof name, "%d/stat", int(tid));
        const int statFd = openat(taskFd, name, O_RDONLY | O_CLOEXEC);
        if (statFd < 0) return false;
        // A kernel thread is Live without an address space: it has no memory to read either.
        TaskInfo task;
        if (ReadStatFrom(statFd, task) == StatRead::Live && task.virtualBytes > 0) {
            std::snprintf(name, sizeof name, "%d/status", int(tid));
            files = ThreadFiles{statFd, openat(taskFd, name, O_RDONLY | O_CLOEXEC)};
            out = task;
            return true;
        }
        close(statFd);
        return false;
    });
    closedir(tasks);
    return files.statFd >= 0;
}

void CloseThread(ThreadFiles& files) {
    for (int fd : {files.statFd, files.statusFd})
        if (fd >= 0) close(fd);
    files = ThreadFiles{};
}

bool ReadProcessStat(int dirFd, int statFd, ThreadFiles& thread, TaskInfo& out, int32_t* parentPid) {
    TaskInfo task;
    StatRead read = ReadStatFrom(statFd, task, parentPid);
    if (read == StatRead::Live) {
        out = task;
        return true;
    }
    // A thread group of one whose only task has no memory left has ended, a zombie until reaped.
    if (read == StatRead::Unreadable || task.threadCount < 2 || dirFd < 0) return false;
    TaskInfo sizes;
    if (thread.statFd < 0 || ReadStatFrom(thread.statFd, sizes) != StatRead::Live) {
        CloseThread(thread);
        if (!OpenLiveThread(dirFd, thread, sizes)) return false;
    }
    // The thread group's own counters, thread count and start time; the address space's sizes.
    task.virtualBytes = sizes.virtualBytes;
    task.residentBytes = sizes.residentBytes;
    out = task;
    return true;
}

bool ReadProcessStatus(int dirFd, int statusFd, ThreadFiles& thread, StatusFields& out) {
    StatusFields status;
    if (!ParseStatusFrom(statusFd, status)) return false;
    if (status.rssAnonKb < 0 && dirFd >= 0) {
        TaskInfo ignored;
        StatusFields fromThread;
        // The thread kept from before, or another when it has ended meanwhile.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (thread.statusFd < 0) {
                CloseThread(thread);
                if (!OpenLiveThread(dirFd, thread, ignored)) break;
            }
            if (ParseStatusFrom(thread.statusFd, fromThread) && fromThread.rssAnonKb >= 0) {
                fromThread.realUid = status.realUid;
                status = fromThread;
                break;
            }
            CloseThread(thread);
        }
    }
    out = status;
    return true;
}

}  // namespace proc
