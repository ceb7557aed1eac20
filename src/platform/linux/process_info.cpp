#include "platform/process_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/linux/proc_files.h"
#include "platform/linux/proc_text.h"

using proc::OpenRecords;
using proc::StatusFields;

namespace {

std::string& RootStorage() {
    static std::string root = "/proc";
    return root;
}

// ScanRecords over a file of the process directory; nothing found when it cannot be opened.
template <typename Visit>
proc::RecordScan ScanRecordsAt(int dirFd, const char* name, char separator, OpenRecords open, Visit visit) {
    int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    proc::RecordScan scan = proc::ScanRecords(fd, separator, open, visit);
    close(fd);
    return scan;
}

// Whether any record of a file of the process directory, cut ones included, satisfies visit.
template <typename Visit>
bool AnyRecordAt(int dirFd, const char* name, char separator, Visit visit) {
    return ScanRecordsAt(dirFd, name, separator, OpenRecords::Visit, visit).found;
}

bool ReadStatusAt(int dirFd, StatusFields& out) {
    int fd = openat(dirFd, "status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool read = proc::ParseStatusFrom(fd, out);
    close(fd);
    return read;
}

// /proc/PID/comm: the command name, at most 15 bytes for user tasks, and a line feed.
std::string_view ReadCommandNameAt(int dirFd, char* buffer, size_t size) {
    ssize_t length = proc::ReadStartAt(dirFd, "comm", buffer, size);
    return length > 0 ? TrimBlanks(std::string_view(buffer, size_t(length))) : std::string_view();
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
    proc::ThreadFiles thread;
    bool read = proc::ReadProcessStat(dirFd, fd, thread, out);
    proc::CloseThread(thread);
    close(fd);
    return read;
}

int64_t ReadPhysicalFootprintAt(int dirFd) {
    int fd = openat(dirFd, "status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    proc::ThreadFiles thread;
    StatusFields status;
    bool read = proc::ReadProcessStatus(dirFd, fd, thread, status);
    proc::CloseThread(thread);
    close(fd);
    return read ? proc::StatusFootprint(status) : -1;
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

namespace {

// The live thread a hold keeps once its process's leader has ended, as the readers take it.
template <typename Read>
auto WithHeldThread(const ProcessHold& hold, Read read) {
    proc::ThreadFiles thread{hold.threadStatFd, hold.threadStatusFd};
    auto result = read(thread);
    hold.threadStatFd = thread.statFd;
    hold.threadStatusFd = thread.statusFd;
    return result;
}

}  // namespace

bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) {
    if (hold.statFd < 0) return false;
    return WithHeldThread(hold, [&](proc::ThreadFiles& thread) {
        return proc::ReadProcessStat(hold.dirFd, hold.statFd, thread, out);
    });
}

int64_t ReadHeldPhysicalFootprint(const ProcessHold& hold) {
    if (hold.statusFd < 0) return -1;
    return WithHeldThread(hold, [&](proc::ThreadFiles& thread) {
        StatusFields status;
        return proc::ReadProcessStatus(hold.dirFd, hold.statusFd, thread, status) ? proc::StatusFootprint(status)
                                                                                  : int64_t(-1);
    });
}

void ReleaseProcess(ProcessHold& hold) {
    for (int fd : {hold.pidFd, hold.statFd, hold.statusFd, hold.dirFd, hold.threadStatFd, hold.threadStatusFd})
        if (fd >= 0) close(fd);
    hold = ProcessHold{};
}

namespace {

Text ProcessPathAt(int dirFd) {
    char buffer[4096];
    return TextFromUtf8(proc::ReadLinkAt(dirFd, "exe", buffer, sizeof buffer));
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

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> processes;
    proc::VisitProcesses([&processes](int32_t pid, const dirent& entry, int) {
        return processes.push_back({pid, uint64_t(entry.d_ino)}), false;
    });
    return processes;
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
