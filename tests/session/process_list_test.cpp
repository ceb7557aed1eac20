#include "session/process_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/proc_fixture.h"

namespace {

struct FakeProcess {
    int32_t pid;
    std::string exe;  // "" for none (a kernel thread, or unreadable)
    std::string comm;
    bool sameUser;
    std::string cgroup, environ;  // environ NUL-separated
};

const std::string AppScope = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-x-1.scope\n";
const std::string SystemScope = "0::/system.slice/cron.service\n";

void AddProcess(const ProcFixture& proc, const FakeProcess& p) {
    const long uid = p.sameUser ? long(getuid()) : long(getuid()) + 1;
    proc.Add(p.pid, "stat", StatLine(p.pid, p.comm, "S", {{22, std::to_string(5000 + p.pid)}}));
    proc.Add(p.pid, "status", "Name:\t" + p.comm + "\nUid:\t" + std::to_string(uid) + "\t0\t0\t0\n");
    proc.Add(p.pid, "comm", p.comm + "\n");
    proc.Add(p.pid, "cgroup", p.cgroup);
    proc.Add(p.pid, "environ", p.environ);
    if (!p.exe.empty()) proc.Add(p.pid, "exe", p.exe, true);
}

// A fresh table read and searched: the rows as they are now.
std::vector<ProcessDescription> ListProcessRows(TextView searchText, bool userAppsOnly) {
    ListedProcesses table;
    RefreshListedProcesses(table, userAppsOnly);
    std::vector<ProcessDescription> rows;
    for (const ListedProcess* row : SearchListedProcesses(table, searchText, userAppsOnly))
        rows.push_back(row->description);
    return rows;
}

std::vector<int32_t> Pids(std::vector<ProcessDescription> rows) {
    std::vector<int32_t> pids;
    for (const ProcessDescription& row : rows) pids.push_back(row.pid);
    std::sort(pids.begin(), pids.end());
    return pids;
}

}  // namespace

// User-apps mode keeps the user's own processes in the app slice or with a display, outside the
// system's helper folders; all-processes mode keeps every PID, "Unknown" included; the search
// matches the lowered name or the PID's digits.
TEST(ProcessList, ModesAndSearchPickTheRows) {
    ProcFixture proc;
    const FakeProcess processes[] = {
        {100, "/usr/bin/gnome-terminal-server", "gnome-terminal-", true, AppScope, "HOME=/x"},
        {101, "/opt/Foo Bar/bin/Foo Bar", "Foo Bar", true, SystemScope, std::string("HOME=/x\0DISPLAY=:0", 18)},
        {102, "/usr/libexec/evolution-source-registry", "evolution-sourc", true, AppScope, ""},
        {103, "/home/u/SYSTEM/Library/Thing/thing", "thing", true, AppScope, ""},
        {104, "/usr/bin/other-user-app", "other-user-app", false, AppScope, "DISPLAY=:0"},
        {105, "/usr/sbin/cron", "cron", true, SystemScope, std::string("HOME=/x\0DISPLAY=", 16)},
        {106, "", "kworker/0:1", true, "", ""},
        {1234, "/opt/safari/Safari", "Safari", true, "", "WAYLAND_DISPLAY=wayland-0"},
        {4120, "/usr/bin/Xsafe", "Xsafe", true, AppScope, ""},
    };
    for (const FakeProcess& p : processes) AddProcess(proc, p);
    proc.Add(107, "");  // a process that vanished while listed: nothing readable
    AddProcess(proc, {108, "/usr/bin/ended-app", "ended-app", true, AppScope, ""});
    proc.Add(108, "stat", StatLine(108, "ended-app", "Z"));  // ended, not yet reaped: no application
    const struct { const char16_t* search; bool userApps; std::vector<int32_t> expected; } cases[] = {
        {u"", true, {100, 101, 1234, 4120}},
        {u"", false, {100, 101, 102, 103, 104, 105, 106, 107, 108, 1234, 4120}},
        {u"12", true, {1234, 4120}},   // 4120 by its PID's digits, 1234 by them too
        {u"SAF", true, {1234, 4120}},  // "Safari" and "Xsafe", whatever the letter case
        {u"unknown", false, {107}},     {u"kworker", true, {}},      {u"evolution", false, {102}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Pids(ListProcessRows(c.search, c.userApps)), c.expected) << TextToUtf8(c.search) << c.userApps;
    const struct { int32_t pid; const char16_t* name; const char16_t* path; uint64_t start; } rows[] = {
        {101, u"Foo Bar", u"/opt/Foo Bar/bin/Foo Bar", 5101}, {106, u"kworker/0:1", u"", 5106}, {107, u"Unknown", u"", 0}};
    const std::vector<ProcessDescription> all = ListProcessRows(u"", false);
    for (const auto& c : rows) {
        auto row = std::find_if(all.begin(), all.end(), [&](const ProcessDescription& r) { return r.pid == c.pid; });
        ASSERT_NE(row, all.end()) << c.pid;
        EXPECT_EQ(std::tuple(row->name, row->path, row->startTime), std::tuple(Text(c.name), Text(c.path), c.start));
    }
    EXPECT_EQ(ProcessRowText(ProcessDescription{7, u"Unknown", u"/opt/x", 0}), u"7\nUnknown\n/opt/x");
    EXPECT_TRUE(IsSystemHelperPath(u"/USR/LIBEXEC/x") && !IsSystemHelperPath(u"/usr/libexecx/y"));
}

// A refresh reads only the processes new to the table: one already read keeps its row (whether it
// is an application is asked once, in user-apps mode), one that has gone leaves, and one that took
// over a PID (a new directory, made before the old one goes so that its inode differs) is read
// afresh, and one that executed another program (the same directory) is described again while it
// is young. A search reads nothing.
TEST(ProcessList, RefreshesReadWhatIsNewAndSearchesReadNothing) {
    ProcFixture proc;
    const std::string root = ProcRoot();
    AddProcess(proc, {100, "/usr/bin/editor", "editor", true, AppScope, ""});
    const auto addPlayer = [&] {
        proc.Add(100, "cgroup", SystemScope);  // a fresh look would now say no
        AddProcess(proc, {101, "/usr/bin/player", "player", true, "", "DISPLAY=:0"});
    };
    const auto end = [&] { std::filesystem::remove_all(root + "/101"); };
    const auto passOn = [&] {
        AddProcess(proc, {1000, "/usr/bin/daemon", "daemon", true, SystemScope, ""});
        std::filesystem::remove_all(root + "/100");
        std::filesystem::rename(root + "/1000", root + "/100");
    };
    const auto exec = [&] {
        std::filesystem::remove(root + "/100/exe");
        AddProcess(proc, {100, "/usr/bin/worker", "worker", true, SystemScope, ""});
    };
    enum Read { None, AllProcesses, UserApps };
    using Names = std::vector<std::string>;
    const struct { std::function<void()> change; Read read; bool changed, userApps; Names expected; } steps[] = {
        {{}, UserApps, true, true, {"100 editor"}},
        {addPlayer, None, false, false, {"100 editor"}},
        {{}, UserApps, true, true, {"100 editor", "101 player"}},
        {{}, UserApps, false, true, {"100 editor", "101 player"}},
        {end, UserApps, true, true, {"100 editor"}},
        {passOn, UserApps, true, true, {}},
        {{}, AllProcesses, true, false, {"100 daemon"}},
        {exec, AllProcesses, true, false, {"100 worker"}},
    };
    ListedProcesses table;
    for (const auto& s : steps) {
        if (s.change) s.change();
        if (s.read != None) {
            EXPECT_EQ(RefreshListedProcesses(table, s.read == UserApps), s.changed) << &s - steps;
        }
        Names found;
        for (const ListedProcess* row : SearchListedProcesses(table, u"", s.userApps))
            found.push_back(std::to_string(row->description.pid) + " " + TextToUtf8(row->description.name));
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, s.expected) << &s - steps;
    }
}
