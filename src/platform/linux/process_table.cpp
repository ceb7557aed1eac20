#include "platform/process_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/linux/proc_files.h"
#include "platform/process_info.h"

namespace {

// The start of a file of the process's directory; empty when it cannot be read.
std::string_view ReadAt(int procFd, int32_t pid, const char* name, char* buffer, size_t size) {
    char path[64];
    std::snprintf(path, sizeof path, "%d/%s", int(pid), name);
    const ssize_t length = proc::ReadStartAt(procFd, path, buffer, size);
    return length > 0 ? std::string_view(buffer, size_t(length)) : std::string_view();
}

// The command name, the parent and the start time of a stat line; false when it is not one.
bool ParseStatLine(std::string_view line, ProcessTableEntry& out) {
    const size_t open = line.find('('), close = line.rfind(')');
    std::string_view fields[20];  // from the state (field 3) to the start time (field 22)
    if (open == std::string_view::npos || close < open || !SplitStatFields(line, fields, 20)) return false;
    if (!ParseNumber(fields[1], out.parentPid) || !ParseNumber(fields[19], out.startTime)) return false;
    if (fields[0] == "Z" || fields[0] == "X") out.startTime = 0;
    out.commandName.assign(line.substr(open + 1, close - open - 1));
    return true;
}

}  // namespace

bool ProcessTable::Refresh(double nowSeconds) {
    ++generation_;
    lastReads_ = 0;
    char buffer[1024];
    const bool listed = proc::VisitProcesses([&](int32_t pid, const dirent& listing, int procFd) {
        auto [it, added] = entries_.try_emplace(pid);
        ProcessTableEntry& e = it->second;
        if (added || e.inode != listing.d_ino) {
            ++lastReads_;
            e = ProcessTableEntry{};
            if (!ParseStatLine(ReadAt(procFd, pid, "stat", buffer, sizeof buffer), e)) {
                entries_.erase(it);  // gone meanwhile
                return false;
            }
            e.pid = pid;
            e.inode = listing.d_ino;
            e.firstSeen = e.nameRead = nowSeconds;
        } else if (recheckNames_ && NameRecheckDue(nowSeconds, e.firstSeen, e.nameRead)) {
            ++lastReads_;
            std::string_view name = ReadAt(procFd, pid, "comm", buffer, sizeof buffer);
            if (!name.empty() && name.back() == '\n') name.remove_suffix(1);
            if (!name.empty() && name != e.commandName) {
                e.commandName.assign(name);
                e.executableRead = false;
            }
            e.nameRead = nowSeconds;
        }
        e.generation = generation_;
        return false;
    });
    if (!listed) return false;
    std::erase_if(entries_, [this](const auto& entry) { return entry.second.generation != generation_; });
    return true;
}

const std::string& ProcessTable::ExecutableName(ProcessTableEntry& entry) {
    if (entry.executableRead) return entry.executableName;
    char path[4200];  // PATH_MAX and the kernel's " (deleted)"
    const std::string link = std::string(ProcRoot()) + "/" + std::to_string(entry.pid) + "/exe";
    std::string_view target = proc::ReadLinkAt(AT_FDCWD, link.c_str(), path, sizeof path);
    constexpr std::string_view deleted = " (deleted)";
    if (target.ends_with(deleted)) target.remove_suffix(deleted.size());
    const size_t slash = target.rfind('/');
    entry.executableName.assign(slash == std::string_view::npos ? target : target.substr(slash + 1));
    entry.executableRead = true;
    return entry.executableName;
}
