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

Text ProcessRowText(const ProcessRow& row) {
    return Str(row.pid) + u"\n" + row.name + u"\n" + row.path;
}

std::vector<ProcessRow> ListProcessRows(TextView searchText, bool userAppsOnly) {
    const Text search = LCase(searchText);
    std::vector<ProcessRow> rows;
    for (int32_t pid : ListAllPids()) {
        if (userAppsOnly && !IsUserAppProcess(pid)) continue;
        // The start time first: should the PID pass to a new process while the row is read, the
        // session that starts from this row ends at once instead of watching the newcomer.
        ProcessRow row{pid, Text(), Text(), ProcessStartTime(pid)};
        row.path = ProcessPathForPid(pid);
        if (userAppsOnly && IsSystemHelperPath(row.path)) continue;
        row.name = ProcessNameForPid(pid);
        if (!MatchesProcessSearch(search, row.name, pid) || row.name.empty()) continue;
        rows.push_back(std::move(row));
    }
    return rows;
}
