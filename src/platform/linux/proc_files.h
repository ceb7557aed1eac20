// The readers of single /proc files that the process-information services share: checked parsing
// into plain records, each read from offset 0 so that a descriptor kept open re-reads a fresh copy.
// Internal to the platform layer.
#pragma once

#include <dirent.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/linux/proc_text.h"
#include "platform/process_info.h"

namespace proc {

// The first number of the value of a "Key:\t value [kB]" line (status, smaps_rollup); -1 if it has
// none.
int64_t KeyedNumber(std::string_view value);

// Calls visit(id, entry) for each entry of an open directory listing whose name is a PID or TID
// (the process root, a task folder), in the order the directory gives them, until a visit returns
// true.
template <typename Visit>
void VisitNumbered(DIR* dir, Visit visit) {
    while (const dirent* entry = readdir(dir)) {
        int32_t id = 0;
        if (ParsePid(entry->d_name, id) && visit(id, *entry)) return;
    }
}

// VisitNumbered over the process root, opened for the listing: visit(pid, entry, rootFd). False
// when the root cannot be listed.
template <typename Visit>
bool VisitProcesses(Visit visit) {
    DIR* dir = opendir(ProcRoot());
    if (!dir) return false;
    const int rootFd = dirfd(dir);
    VisitNumbered(dir, [&](int32_t pid, const dirent& entry) { return visit(pid, entry, rootFd); });
    closedir(dir);
    return true;
}

// units × unitBytes, held at INT64_MAX.
int64_t ScaledBytes(uint64_t units, uint64_t unitBytes);

// Reads the start of an open per-process file, at most size - 1 bytes from offset 0, into buffer
// and ends them with a NUL. The number of bytes read, or -1 when the read fails (as it does once
// the process has gone). One read is enough: the kernel hands a per-process file out whole when
// the buffer can hold it, and the readers need only what comes first.
ssize_t ReadStartFrom(int fd, char* buffer, size_t size);
// ReadStartFrom on the file of that name under an open directory; -1 when it cannot be opened either.
ssize_t ReadStartAt(int dirFd, const char* name, char* buffer, size_t size);
// The target of the link of that name under an open directory (AT_FDCWD: a whole path), such as
// a process's "exe", which kernel threads lack; empty when it cannot be read or may be cut.
std::string_view ReadLinkAt(int dirFd, const char* name, char* buffer, size_t size);

// What a record loop does with a record longer than its buffer, and with a last record that no
// separator ends.
enum class OpenRecords {
    Visit,  // passed cut to the buffer's length: a prefix may be all the visitor looks for
    Skip,   // never passed: a cut line could hold a cut number
};

struct RecordScan {
    bool found{};     // a visit returned true
    bool readable{};  // the file gave at least one byte and no read failed
    bool failed{};    // a read failed (the process or thread has ended)
};

// Calls visit(record) for each record of the open file, records ending at separator, read from
// offset 0 with pread so that a descriptor kept open re-reads a fresh copy each time. Stops at
// the first record for which visit is true. A record longer than the buffer is passed cut or
// skipped as `open` says; so is the last record when no separator ends it.
template <typename Visit>
RecordScan ScanRecords(int fd, char separator, OpenRecords open, Visit visit) {
    char buffer[4096];
    size_t used = 0;
    off_t offset = 0;
    bool skipping = false;  // inside the tail of a record already passed cut or skipped
    RecordScan scan;
    while (!scan.found) {
        ssize_t n = pread(fd, buffer + used, sizeof buffer - used, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) scan.readable = false, scan.failed = true;
        if (n <= 0) {
            scan.found = n == 0 && used > 0 && !skipping && open == OpenRecords::Visit &&
                         visit(std::string_view(buffer, used));
            break;
        }
        scan.readable = true;
        offset += n;
        used += size_t(n);
        size_t start = 0;
        while (!scan.found) {
            auto* end = static_cast<char*>(std::memchr(buffer + start, separator, used - start));
            if (!end) break;
            size_t length = size_t(end - buffer) - start;
            scan.found = !skipping && visit(std::string_view(buffer + start, length));
            skipping = false;
            start += length + 1;
        }
        if (scan.found) break;  // the rest is not wanted: no need to keep it
        std::memmove(buffer, buffer + start, used - start);
        used -= start;
        if (!scan.found && used == sizeof buffer) {
            scan.found = !skipping && open == OpenRecords::Visit && visit(std::string_view(buffer, used));
            skipping = true;
            used = 0;
        }
    }
    return scan;
}

// What a stat line tells about the task whose file it is.
enum class StatRead {
    Unreadable,  // no such file, or a cut or garbled line
    Live,        // every field read
    // The line read, but the task has no memory left to read: a zombie or dead task, or one without
    // an address space that is no kernel thread. The counters, the thread count and the start time
    // are set (a leader's line keeps counting for its whole thread group); the sizes are not.
    MemoryGone,
    // As MemoryGone, for a task that has begun to exit (PF_EXITING) and is not yet a zombie: the
    // kernel still shows it running while it tears its memory down.
    Exiting,
};

// /proc/PID/stat (or /proc/PID/task/TID/stat): one line, "pid (comm) state ppid ..." with the
// fault counters, the thread count, the start time in clock ticks, the virtual size in bytes and
// the resident size in pages. parentPid, when given, takes the fourth field.
StatRead ReadStatFrom(int statFd, TaskInfo& out, int32_t* parentPid = nullptr);

// The fields of /proc/PID/status that the readers need; -1 for those that are absent.
struct StatusFields {
    int64_t realUid{-1};
    int64_t rssAnonKb{-1};
    int64_t vmSwapKb{-1};
    int64_t vmPteKb{-1};
};

// /proc/PID/status: "Key:\tvalue" lines. False when nothing could be read.
bool ParseStatusFrom(int fd, StatusFields& out);
// RssAnon + VmSwap + VmPTE in bytes; 0 when none of them is there.
int64_t StatusFootprint(const StatusFields& status);

// The stat and status files of a live thread of a process whose leader has ended while other
// threads run on: the process lives until its last thread ends, and its memory is read through
// any of them.
struct ThreadFiles {
    int statFd{-1};
    int statusFd{-1};
};

// Opens the files of a thread of the process whose directory this is that still has an address
// space to read, with its task figures in out. False, opening nothing, when every thread has ended.
bool OpenLiveThread(int dirFd, ThreadFiles& files, TaskInfo& out);
void CloseThread(ThreadFiles& files);

// Task figures of the process through its stat file: when its leader has ended and other threads
// run on, the sizes come from one of them, whose files `thread` keeps (opened here when it holds
// none, or none that still reads). False when the process has ended or cannot be read.
bool ReadProcessStat(int dirFd, int statFd, ThreadFiles& thread, TaskInfo& out, int32_t* parentPid = nullptr);
// Its status figures; for a leader that has ended (its status has no memory lines), those of a live
// thread, kept in `thread` as ReadProcessStat keeps it. False when nothing could be read.
bool ReadProcessStatus(int dirFd, int statusFd, ThreadFiles& thread, StatusFields& out);

}  // namespace proc
