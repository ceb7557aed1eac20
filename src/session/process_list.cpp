#include "session/process_list.h"

#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "platform/process_table.h"
#include "runtime/date.h"

bool IsSystemHelperPath(TextView path) {
    const Text lowered = LCase(path);
    return FindString(lowered, u"/system/library/") > 0 || FindString(lowered, u"/usr/libexec/") > 0;
}

Text ProcessRowText(const ProcessDescription& row) {
    return Str(row.pid) + u"\n" + row.name + u"\n" + row.path;
}

namespace {

// The directory of a row's process, if the PID still names the process the row was read from.
int OpenRowDir(const ListedProcess& row) {
    const int dirFd = OpenProcessDir(row.description.pid);
    struct stat status {};
    if (dirFd >= 0 && (fstat(dirFd, &status) != 0 || uint64_t(status.st_ino) != row.inode)) {
        CloseProcessDir(dirFd);
        return -1;
    }
    return dirFd;
}

// Should the PID pass to a new process while the row is read, reads through the directory fail,
// and a session started from this row ends at once instead of watching the newcomer.
void Describe(ListedProcess& row, int dirFd) {
    if (dirFd >= 0) DescribeProcessAt(dirFd, row.description.pid, row.description);
    row.loweredName = LCase(row.description.name);
    row.described = true;
}

// A process that had ended when it was described (start time 0: a zombie) or that runs a helper
// program of the system is no application to list.
void DropNonApplication(ListedProcess& row) {
    if (row.userApp == 1 && row.described &&
        (row.description.startTime == 0 || IsSystemHelperPath(row.description.path)))
        row.userApp = 0;
}

// What the mode needs of the row and the table does not know yet: in user-apps mode whether it is
// a desktop application of the user (three reads of its files), and its name, path and start time
// where it is one or in all-processes mode. Whether anything was learnt.
bool Complete(ListedProcess& row, int dirFd, bool userAppsOnly) {
    bool learnt = false;
    if (userAppsOnly && row.userApp < 0) {
        row.userApp = dirFd >= 0 && IsUserAppProcessAt(dirFd) ? 1 : 0;
        learnt = true;
    }
    if (!row.described && (!userAppsOnly || row.userApp == 1)) {
        Describe(row, dirFd);
        learnt = true;
    }
    DropNonApplication(row);
    return learnt;
}

// Reads a described row's name and path again; whether they changed (the process executed another
// program).
bool Redescribe(ListedProcess& row) {
    const int dirFd = OpenRowDir(row);
    if (dirFd < 0) return false;
    const ProcessDescription before = row.description;
    Describe(row, dirFd);
    CloseProcessDir(dirFd);
    DropNonApplication(row);
    return row.description.name != before.name || row.description.path != before.path;
}

bool NeedsCompleting(const ListedProcess& row, bool userAppsOnly) {
    return userAppsOnly ? row.userApp < 0 : !row.described;  // an application is described when found
}

ListedProcess ReadRow(const ProcessEntry& entry, bool userAppsOnly, double now) {
    ListedProcess row;
    row.firstSeen = row.describedAt = now;
    row.description.pid = entry.pid;
    row.pidDigits = Str(entry.pid);
    row.inode = entry.inode;
    const int dirFd = OpenProcessDir(entry.pid);
    Complete(row, dirFd, userAppsOnly);
    CloseProcessDir(dirFd);
    return row;
}

}  // namespace

bool RefreshListedProcesses(ListedProcesses& table, bool userAppsOnly) {
    std::unordered_map<int32_t, size_t> known;
    known.reserve(table.rows.size());
    for (size_t i = 0; i < table.rows.size(); ++i) known.emplace(table.rows[i].description.pid, i);
    std::vector<ListedProcess> rows;
    rows.reserve(table.rows.size());
    bool changed = !table.read;
    const double now = double(MonotonicMs()) / 1000.0;
    for (const ProcessEntry& entry : ListProcesses()) {
        auto found = known.find(entry.pid);
        if (found == known.end() || table.rows[found->second].inode != entry.inode) {
            rows.push_back(ReadRow(entry, userAppsOnly, now));
            changed = true;
            continue;
        }
        ListedProcess& row = rows.emplace_back(std::move(table.rows[found->second]));
        known.erase(found);
        if (NeedsCompleting(row, userAppsOnly)) {
            const int dirFd = OpenRowDir(row);
            changed = Complete(row, dirFd, userAppsOnly) || changed;
            CloseProcessDir(dirFd);
            row.describedAt = now;
        } else if (row.described && NameRecheckDue(now, row.firstSeen, row.describedAt)) {
            changed = Redescribe(row) || changed;
            row.describedAt = now;
        }
    }
    changed = changed || !known.empty();
    table.rows = std::move(rows);
    table.read = true;
    return changed;
}

bool ListedProcessesLack(const ListedProcesses& table, bool userAppsOnly) {
    return !table.read || std::any_of(table.rows.begin(), table.rows.end(), [userAppsOnly](const ListedProcess& row) {
               return NeedsCompleting(row, userAppsOnly);
           });
}

std::vector<const ListedProcess*> SearchListedProcesses(const ListedProcesses& table, TextView searchText,
                                                        bool userAppsOnly) {
    const Text search = LCase(searchText);
    std::vector<const ListedProcess*> rows;
    for (const ListedProcess& row : table.rows) {
        if (userAppsOnly ? row.userApp != 1 : !row.described) continue;
        if (search.empty() || FindString(row.loweredName, search) > 0 || FindString(row.pidDigits, search) > 0)
            rows.push_back(&row);
    }
    return rows;
}
