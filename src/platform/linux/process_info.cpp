#include "platform/process_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/linux/proc_text.h"

namespace {

std::string& RootStorage() {
    static std::string root = "/proc";
    return root;
}

// A count the kernel keeps as unsigned long, held within the signed 32-bit range of the record.
int32_t SaturateCount(uint64_t count) {
    return count > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(count);
}

int64_t SaturateBytes(uint64_t bytes) {
    return bytes > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(bytes);
}

// units × unitBytes, held at INT64_MAX.
int64_t ScaledBytes(uint64_t units, uint64_t unitBytes) {
    if (unitBytes != 0 && units > uint64_t(INT64_MAX) / unitBytes) return INT64_MAX;
    return int64_t(units * unitBytes);
}

int64_t PageSize() {
    static const int64_t size = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
    return size;
}

// Reads the start of an open per-process file, at most size - 1 bytes from offset 0, into buffer
// and ends them with a NUL. The number of bytes read, or -1 when the read fails (as it does once
// the process has gone). One read is enough: the kernel hands a per-process file out whole when
// the buffer can hold it, and the readers need only what comes first.
ssize_t ReadStartFrom(int fd, char* buffer, size_t size) {
    ssize_t length;
    do length = pread(fd, buffer, size - 1, 0);
    while (length < 0 && errno == EINTR);
    if (length >= 0) buffer[length] = '\0';
    return length;
}

// ReadStartFrom on a file of the process directory; -1 when it cannot be opened either.
ssize_t ReadFileAt(int dirFd, const char* name, char* buffer, size_t size) {
    int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t length = ReadStartFrom(fd, buffer, size);
    close(fd);
    return length;
}

// What a record loop does with a record longer than its buffer, and with a last record that no
// separator ends.
enum class OpenRecords {
    Visit,  // passed cut to the buffer's length: a prefix may be all the visitor looks for
    Skip,   // never passed: a cut line could hold a cut number
};

struct RecordScan {
    bool found{};     // a visit returned true
    bool readable{};  // the file gave at least one byte and no read failed
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
        if (n < 0) scan.readable = false;
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

// ScanRecords over a file of the process directory; nothing found when it cannot be opened.
template <typename Visit>
RecordScan ScanRecordsAt(int dirFd, const char* name, char separator, OpenRecords open, Visit visit) {
    int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    RecordScan scan = ScanRecords(fd, separator, open, visit);
    close(fd);
    return scan;
}

// Whether any record of a file of the process directory, cut ones included, satisfies visit.
template <typename Visit>
bool AnyRecordAt(int dirFd, const char* name, char separator, Visit visit) {
    return ScanRecordsAt(dirFd, name, separator, OpenRecords::Visit, visit).found;
}

// The fields of /proc/PID/status that the readers need; -1 for those that are absent.
struct StatusFields {
    int64_t realUid{-1};
    int64_t rssAnonKb{-1};
    int64_t vmSwapKb{-1};
    int64_t vmPteKb{-1};
};

// A "Key:\t value [kB]" line's first number; -1 if it has none.
int64_t StatusLineNumber(std::string_view value) {
    value = TrimBlanks(value);
    int64_t number = -1;
    bool read = ParseNumber(value.substr(0, value.find_first_of(" \t")), number);
    return read && number >= 0 ? number : -1;
}

// /proc/PID/status: "Key:\tvalue" lines; Uid holds the real, effective, saved and filesystem
// IDs, the Vm and Rss lines sizes in kB (kernel threads have none of the memory lines). The file
// can outgrow one buffer (a Groups line of a few hundred IDs comes before the memory lines), so
// it is read line by line until every wanted line has come (VmSwap, the last of them, lies well
// within the first read in the common case) or to its end. Only whole lines count.
bool ParseStatusFrom(int fd, StatusFields& out) {
    return ScanRecords(fd, '\n', OpenRecords::Skip, [&out](std::string_view line) {
               size_t colon = line.find(':');
               if (colon == std::string_view::npos) return false;
               std::string_view key = line.substr(0, colon);
               std::string_view value = line.substr(colon + 1);
               if (key == "Uid") out.realUid = StatusLineNumber(value);
               else if (key == "RssAnon") out.rssAnonKb = StatusLineNumber(value);
               else if (key == "VmPTE") out.vmPteKb = StatusLineNumber(value);
               else if (key == "VmSwap") out.vmSwapKb = StatusLineNumber(value);
               else return false;
               return out.realUid >= 0 && out.rssAnonKb >= 0 && out.vmPteKb >= 0 && out.vmSwapKb >= 0;
           }).readable;
}

bool ReadStatusAt(int dirFd, StatusFields& out) {
    int fd = openat(dirFd, "status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool read = ParseStatusFrom(fd, out);
    close(fd);
    return read;
}

// Fields of /proc/PID/stat after the command name, numbered from 0 for the state (field 3).
enum StatField : int {
    StatState = 0,
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

bool ParseStat(std::string_view text, TaskInfo& out) {
    std::string_view fields[StatFieldsNeeded];
    if (!SplitStatFields(text, fields, StatFieldsNeeded)) return false;
    std::string_view state = fields[StatState];
    if (state.size() != 1 || state == "Z" || state == "X" || state == "x") return false;
    uint64_t flags = 0, minor = 0, major = 0, threads = 0, start = 0, virtualSize = 0;
    int64_t residentPages = 0;
    if (!ParseNumber(fields[StatFlags], flags) || !ParseNumber(fields[StatMinorFaults], minor) || !ParseNumber(fields[StatMajorFaults], major) ||
        !ParseNumber(fields[StatThreads], threads) || !ParseNumber(fields[StatStartTime], start) ||
        !ParseNumber(fields[StatVirtualSize], virtualSize) ||
        !ParseNumber(fields[StatResidentPages], residentPages))
        return false;
    // A process that has begun to exit still shows a running state while the kernel tears its
    // memory down, and reads as 0 bytes (or half released) until it turns zombie: it has ended.
    // Only kernel threads live without an address space.
    if ((flags & ProcessExiting) != 0 || (virtualSize == 0 && (flags & ProcessKernelThread) == 0))
        return false;
    out.virtualBytes = SaturateBytes(virtualSize);
    out.residentBytes = residentPages > 0 ? ScaledBytes(uint64_t(residentPages), PageSize()) : 0;
    out.pageFaults = SaturateCount(uint64_t(SaturateCount(minor)) + SaturateCount(major));
    out.pageIns = SaturateCount(major);
    out.cowFaults = 0;
    out.threadCount = SaturateCount(threads);
    out.startTime = start;
    return true;
}

// /proc/PID/comm: the command name, at most 15 bytes for user tasks, and a line feed.
std::string_view ReadCommandNameAt(int dirFd, char* buffer, size_t size) {
    ssize_t length = ReadFileAt(dirFd, "comm", buffer, size);
    return length > 0 ? TrimBlanks(std::string_view(buffer, size_t(length))) : std::string_view();
}

// /proc/PID/exe: a link to the executable; none for kernel threads.
std::string_view ReadExecutablePathAt(int dirFd, char* buffer, size_t size) {
    ssize_t length = readlinkat(dirFd, "exe", buffer, size);
    if (length <= 0 || size_t(length) >= size) return {};  // a full buffer may be cut
    return std::string_view(buffer, size_t(length));
}

// /proc/PID/cgroup: one "hierarchy:controllers:path" line per hierarchy.
bool InAppSliceAt(int dirFd) {
    return AnyRecordAt(dirFd, "cgroup", '\n', [](std::string_view line) {
        // Whole path components, so that a "myapp.slice" is not taken for the app slice.
        for (size_t start = line.find('/'); start != std::string_view::npos;) {
            size_t end = line.find('/', start + 1);
            std::string_view part = line.substr(start + 1, end - start - 1);  // npos: to the end
            if (part == "app.slice" || (part.starts_with("app-") && part.ends_with(".scope")))
                return true;
            start = end;
        }
        return false;
    });
}

// /proc/PID/environ: the environment the program was started with, NUL-separated "NAME=value".
bool NamesDisplayAt(int dirFd) {
    return AnyRecordAt(dirFd, "environ", '\0', [](std::string_view entry) {
        for (std::string_view name : {"DISPLAY=", "WAYLAND_DISPLAY="})
            if (entry.starts_with(name) && entry.size() > name.size()) return true;
        return false;
    });
}

// /proc/PID/stat: one line, "pid (comm) state ppid ..." with the fault counters, the thread
// count, the start time in clock ticks, the virtual size in bytes and the resident size in pages.
bool ReadTaskInfoFrom(int statFd, TaskInfo& out) {
    char buffer[1024];
    ssize_t length = ReadStartFrom(statFd, buffer, sizeof buffer);
    return length > 0 && ParseStat(std::string_view(buffer, size_t(length)), out);
}

int64_t ReadPhysicalFootprintFrom(int statusFd) {
    StatusFields status;
    if (!ParseStatusFrom(statusFd, status)) return -1;
    uint64_t kilobytes = 0;
    for (int64_t part : {status.rssAnonKb, status.vmSwapKb, status.vmPteKb})
        if (part > 0) kilobytes += uint64_t(part);  // each below 2^63: the sum cannot wrap
    return ScaledBytes(kilobytes, 1024);
}

// Runs read on the process's directory descriptor; fallback when there is no such process.
template <typename Result, typename Read>
Result WithProcessDir(int32_t pid, Result fallback, Read read) {
    int dirFd = OpenProcessDir(pid);
    if (dirFd < 0) return fallback;
    Result result = read(dirFd);
    CloseProcessDir(dirFd);
    return result;
}

}  // namespace

void SetProcRoot(const char* root) {
    RootStorage() = root && *root ? root : "/proc";
}

const char* ProcRoot() {
    return RootStorage().c_str();
}

int OpenProcessDir(int32_t pid) {
    if (pid <= 0) return -1;
    char path[4096];
    int length = std::snprintf(path, sizeof path, "%s/%d", ProcRoot(), int(pid));
    if (length < 0 || size_t(length) >= sizeof path) return -1;
    return open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
}

void CloseProcessDir(int dirFd) {
    if (dirFd >= 0) close(dirFd);
}

bool ReadTaskInfoAt(int dirFd, TaskInfo& out) {
    int fd = openat(dirFd, "stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool read = ReadTaskInfoFrom(fd, out);
    close(fd);
    return read;
}

int64_t ReadPhysicalFootprintAt(int dirFd) {
    int fd = openat(dirFd, "status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    int64_t footprint = ReadPhysicalFootprintFrom(fd);
    close(fd);
    return footprint;
}

bool HoldProcess(int32_t pid, ProcessHold& out) {
    out = ProcessHold{};
    if (pid <= 0) return false;
    // Under a fixture root the PID names no real process, so there is nothing to hold by it.
    if (std::strcmp(ProcRoot(), "/proc") == 0) {
        out.pidFd = int(syscall(SYS_pidfd_open, pid, 0));
        // Gone already; other failures (a kernel before 5.3, a filter that refuses the call) leave
        // the kept files alone to name the process.
        if (out.pidFd < 0 && errno == ESRCH) return false;
    }
    out.dirFd = OpenProcessDir(pid);
    if (out.dirFd >= 0) {
        out.statFd = openat(out.dirFd, "stat", O_RDONLY | O_CLOEXEC);
        out.statusFd = openat(out.dirFd, "status", O_RDONLY | O_CLOEXEC);
    }
    if (out.statFd >= 0) {
        out.pid = pid;
        return true;
    }
    ReleaseProcess(out);
    return false;
}

bool ProcessHoldEnded(const ProcessHold& hold) {
    if (hold.pidFd < 0) {
        // Without a pidfd: a directory that no longer answers, or that was removed (which is how
        // a fixture root shows a process that has gone, its files staying readable).
        struct stat status {};
        return hold.dirFd < 0 || fstat(hold.dirFd, &status) != 0 || status.st_nlink == 0;
    }
    pollfd ready{hold.pidFd, POLLIN, 0};
    int result;
    do result = poll(&ready, 1, 0);
    while (result < 0 && errno == EINTR);
    return result != 0;  // readable once the process has exited; a failed poll cannot vouch for it
}

bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) {
    return hold.statFd >= 0 && ReadTaskInfoFrom(hold.statFd, out);
}

int64_t ReadHeldPhysicalFootprint(const ProcessHold& hold) {
    return hold.statusFd >= 0 ? ReadPhysicalFootprintFrom(hold.statusFd) : -1;
}

void ReleaseProcess(ProcessHold& hold) {
    for (int fd : {hold.pidFd, hold.statFd, hold.statusFd, hold.dirFd})
        if (fd >= 0) close(fd);
    hold = ProcessHold{};
}

namespace {

Text ProcessPathAt(int dirFd) {
    char buffer[4096];
    return TextFromUtf8(ReadExecutablePathAt(dirFd, buffer, sizeof buffer));
}

// The display name from the executable's path already read through the same directory (empty:
// the command name is read instead).
Text ProcessNameAt(int dirFd, TextView executablePath) {
    Text name;
    if (!executablePath.empty()) {
        name = Text(executablePath.substr(executablePath.rfind(u'/') + 1));  // npos + 1 = 0
    } else {
        char buffer[4096];
        name = TextFromUtf8(ReadCommandNameAt(dirFd, buffer, sizeof buffer));
    }
    // A process chooses its own command name and executable file name; control characters in
    // them (a line feed most of all) would break every line, row and file name the name goes in.
    for (char16_t& unit : name)
        if (unit < 0x20 || unit == 0x7F) unit = u'?';
    return name.empty() ? Text(u"Unknown") : name;
}

}  // namespace

bool DescribeProcessAt(int dirFd, int32_t pid, ProcessDescription& out) {
    TaskInfo task;
    const bool readable = ReadTaskInfoAt(dirFd, task);
    out.pid = pid;
    out.startTime = readable ? task.startTime : 0;
    out.path = ProcessPathAt(dirFd);
    out.name = ProcessNameAt(dirFd, out.path);
    return readable;
}

bool IsUserAppProcessAt(int dirFd) {
    StatusFields status;
    if (!ReadStatusAt(dirFd, status) || status.realUid != int64_t(getuid())) return false;
    return InAppSliceAt(dirFd) || NamesDisplayAt(dirFd);
}

std::vector<int32_t> ListAllPids() {
    std::vector<int32_t> pids;
    DIR* dir = opendir(ProcRoot());
    if (!dir) return pids;
    while (const dirent* entry = readdir(dir)) {
        int32_t pid = 0;
        if (ParsePid(entry->d_name, pid)) pids.push_back(pid);
    }
    closedir(dir);
    return pids;
}

uint64_t ProcessStartTime(int32_t pid) {
    return WithProcessDir(pid, uint64_t(0), [](int dirFd) {
        TaskInfo info;
        return ReadTaskInfoAt(dirFd, info) ? info.startTime : uint64_t(0);
    });
}

int64_t ProcessRealUid(int32_t pid) {
    return WithProcessDir(pid, int64_t(-1), [](int dirFd) {
        StatusFields status;
        return ReadStatusAt(dirFd, status) ? status.realUid : int64_t(-1);
    });
}

bool ProcessInAppSlice(int32_t pid) {
    return WithProcessDir(pid, false, InAppSliceAt);
}

bool ProcessNamesDisplay(int32_t pid) {
    return WithProcessDir(pid, false, NamesDisplayAt);
}

bool IsUserAppProcess(int32_t pid) {
    return WithProcessDir(pid, false, IsUserAppProcessAt);
}
