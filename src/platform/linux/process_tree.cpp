#include "platform/process_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "platform/linux/proc_text.h"
#include "platform/process_info.h"

namespace {

// /proc/PID/stat: "pid (comm) state ppid ...": the parent PID is the second field after the
// command name's last ")". 0 when the file cannot be read or parsed.
int32_t ReadParentPid(int procFd, const char* pidName) {
    char path[300];  // a directory entry's name is at most 255 bytes
    std::snprintf(path, sizeof path, "%s/stat", pidName);
    int fd = openat(procFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[512];
    ssize_t length;
    do length = read(fd, buffer, sizeof buffer);
    while (length < 0 && errno == EINTR);
    close(fd);
    if (length <= 0) return 0;
    // A command name of up to 64 bytes leaves the state and the parent well inside the buffer.
    std::string_view fields[2];
    int32_t ppid = 0;
    if (!SplitStatFields(std::string_view(buffer, size_t(length)), fields, 2) || !ParseNumber(fields[1], ppid))
        return 0;
    return ppid;
}

// /proc/stat's "btime" line: the boot time in seconds since 1970.
int64_t BootTime() {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/stat", ProcRoot());
    std::FILE* file = std::fopen(path, "re");
    if (!file) return -1;
    char line[256];
    long long seconds = -1;
    while (std::fgets(line, sizeof line, file))
        if (std::sscanf(line, "btime %lld", &seconds) == 1) break;
    std::fclose(file);
    return seconds;
}

}  // namespace

namespace {

// The children of every thread of pid, from /proc/PID/task/TID/children (the kernel's list of the
// processes each thread started, blank-separated), appended to out. False when the kernel offers
// no such files, or the process has gone.
bool ReadChildren(int32_t pid, std::vector<int32_t>& out) {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%d/task", ProcRoot(), int(pid));
    DIR* tasks = opendir(path);
    if (!tasks) return false;
    bool any = false;
    while (const dirent* entry = readdir(tasks)) {
        int32_t tid = 0;
        if (!ParsePid(entry->d_name, tid)) continue;
        char name[300];
        std::snprintf(name, sizeof name, "%s/children", entry->d_name);
        int fd = openat(dirfd(tasks), name, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        any = true;
        char buffer[4096];
        std::string carry;  // a PID cut at the end of one read
        for (;;) {
            ssize_t length = read(fd, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) continue;
            if (length <= 0) break;
            carry.append(buffer, size_t(length));
            size_t blank;
            while ((blank = carry.find(' ')) != std::string::npos) {
                int32_t child = 0;
                if (ParsePid(std::string_view(carry).substr(0, blank), child)) out.push_back(child);
                carry.erase(0, blank + 1);
            }
        }
        int32_t child = 0;
        if (ParsePid(carry, child)) out.push_back(child);
        close(fd);
    }
    closedir(tasks);
    return any;
}

// Every process's parent from its stat line, sorted by parent: the way when the kernel keeps no
// children files. Its cost grows with the whole process table.
std::vector<int32_t> DescendantsFromParents(int32_t root) {
    std::vector<std::pair<int32_t, int32_t>> parentOf;  // (parent, child)
    DIR* dir = opendir(ProcRoot());
    if (!dir) return {};
    const int procFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        int32_t pid = 0;
        if (!ParsePid(entry->d_name, pid) || pid == root) continue;
        int32_t ppid = ReadParentPid(procFd, entry->d_name);
        if (ppid > 0) parentOf.emplace_back(ppid, pid);
    }
    closedir(dir);
    std::sort(parentOf.begin(), parentOf.end());
    std::vector<int32_t> family;
    std::vector<int32_t> next{root};
    for (size_t at = 0; at < next.size() && next.size() <= parentOf.size() + 1; ++at) {
        auto first = std::lower_bound(parentOf.begin(), parentOf.end(), std::make_pair(next[at], INT32_MIN));
        for (auto it = first; it != parentOf.end() && it->first == next[at]; ++it) {
            // Visited once even if the table were to hold a cycle.
            if (std::find(next.begin(), next.end(), it->second) != next.end()) continue;
            next.push_back(it->second);
            family.push_back(it->second);
        }
    }
    return family;
}

}  // namespace

std::vector<int32_t> ListDescendants(int32_t root) {
    // Breadth first through the children files, whose cost grows with the family only.
    std::vector<int32_t> family;
    if (!ReadChildren(root, family)) return DescendantsFromParents(root);
    std::unordered_set<int32_t> seen(family.begin(), family.end());
    seen.insert(root);
    for (size_t at = 0; at < family.size(); ++at) {
        std::vector<int32_t> children;
        ReadChildren(family[at], children);
        // A PID met twice (reused while the files were read) is dropped, so no cycle can form.
        for (int32_t child : children)
            if (seen.insert(child).second) family.push_back(child);
    }
    return family;
}

int64_t ProcessStartUnixTime(uint64_t startTicks) {
    static const int64_t boot = BootTime();
    long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (boot < 0 || ticksPerSecond <= 0) return -1;
    return boot + int64_t(startTicks / uint64_t(ticksPerSecond));
}
