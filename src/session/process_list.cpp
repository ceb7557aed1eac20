#include "session/process_list.h"

#include "platform/process_info.h"

bool MatchesProcessSearch(TextView loweredSearch, TextView name, int32_t pid) {
    if (loweredSearch.empty()) return true;
    return FindString(LCase(name), loweredSearch) > 0 || FindString(Str(pid), loweredSearch) > 0;
}

bool IsSystemHelperPath(TextView path) {
    const Text lowered = LCase(path);
    return FindString(lowered, u"/system/library/") > 0 || FindString(lowered, u"/usr/libexec/") > 0;
}

Text ProcessRowText(const ProcessDescription& row) {
    return Str(row.pid) + u"\n" + row.name + u"\n" + row.path;
}

namespace {

// The cached answer while the PID still names the same process, else a fresh one, kept in `seen`.
bool IsUserApp(int dirFd, int32_t pid, uint64_t startTime, const UserAppCache* cache, UserAppCache& seen) {
    if (startTime == 0) return false;  // gone, or a zombie
    UserAppCache::Entry entry{startTime, false};
    const UserAppCache::Entry* known = nullptr;
    if (cache) {
        auto found = cache->entries.find(pid);
        if (found != cache->entries.end() && found->second.startTime == startTime) known = &found->second;
    }
    entry.userApp = known ? known->userApp : IsUserAppProcessAt(dirFd);
    seen.entries[pid] = entry;
    return entry.userApp;
}

// The row of one process read through its directory; false when the mode or the search drops it.
bool ReadRow(int dirFd, int32_t pid, TextView search, bool userAppsOnly, const UserAppCache* cache,
             UserAppCache& seen, ProcessDescription& row) {
    // Should the PID pass to a new process while the row is read, reads through the directory
    // fail, and a session started from this row ends at once instead of watching the newcomer.
    if (userAppsOnly) {
        // Most processes are no desktop application: their names and paths are never read.
        TaskInfo task;
        if (!IsUserApp(dirFd, pid, ReadTaskInfoAt(dirFd, task) ? task.startTime : 0, cache, seen)) return false;
    }
    const bool readable = DescribeProcessAt(dirFd, pid, row);
    if (userAppsOnly && (!readable || IsSystemHelperPath(row.path))) return false;
    return MatchesProcessSearch(search, row.name, pid);
}

}  // namespace

std::vector<ProcessDescription> ListProcessRows(TextView searchText, bool userAppsOnly,
                                                UserAppCache* cache) {
    const Text search = LCase(searchText);
    std::vector<ProcessDescription> rows;
    UserAppCache seen;
    for (int32_t pid : ListAllPids()) {
        const int dirFd = OpenProcessDir(pid);
        ProcessDescription row;
        if (ReadRow(dirFd, pid, search, userAppsOnly, cache, seen, row)) rows.push_back(std::move(row));
        CloseProcessDir(dirFd);
    }
    // Only user-apps mode asks; a refill in the other mode leaves what is known alone.
    if (cache && userAppsOnly) cache->entries = std::move(seen.entries);
    return rows;
}
