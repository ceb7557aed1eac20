#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <optional>

#include "platform/proc_fixture.h"

namespace {

std::optional<TaskInfo> TaskInfoOf(int32_t pid) {
    int dirFd = OpenProcessDir(pid);
    if (dirFd < 0) return std::nullopt;
    TaskInfo info;
    bool read = ReadTaskInfoAt(dirFd, info);
    CloseProcessDir(dirFd);
    return read ? std::optional(info) : std::nullopt;
}

int64_t FootprintOf(int32_t pid) {
    int dirFd = OpenProcessDir(pid);
    int64_t footprint = dirFd >= 0 ? ReadPhysicalFootprintAt(dirFd) : -2;
    CloseProcessDir(dirFd);
    return footprint;
}

const int64_t kPage = sysconf(_SC_PAGESIZE);

}  // namespace

// The stat line is split after the command name's last ")", each figure comes from its own field,
// and a zombie, a dead task or a line that is cut or garbled is not a readable process.
TEST(ProcessInfoFixture, StatLinesReadFieldByFieldOrNotAtAll) {
    ProcFixture proc;
    struct Case {
        const char* what;
        std::string stat;
        std::optional<TaskInfo> expected;
        int32_t pid = 0;  // when the line does not start with one
    };
    const TaskInfo distinct{1023, 1024 * kPage, 1010 + 1012, 1012, 0, 1020, 1022};
    const Case cases[] = {
        {"plain", StatLine(10, "app", "S"), distinct},
        {"name with brackets and blanks", StatLine(11, ") (x) ) (", "R"), distinct},
        {"name of blanks", StatLine(12, "   ", "D"), distinct},
        {"zombie", StatLine(13, "gone", "Z"), std::nullopt},
        {"dead", StatLine(14, "gone", "X"), std::nullopt},
        {"cut before the resident size", StatLine(15, "app", "S").substr(0, 110), std::nullopt},
        {"no closing bracket", "16 (app S 1 2 3\n", std::nullopt},
        {"garbage", "hello world\n", std::nullopt, 22},
        {"empty", "", std::nullopt, 23},
        {"letters in a counter", StatLine(17, "app", "S", {{10, "12a"}}), std::nullopt},
        {"negative thread count", StatLine(18, "app", "S", {{20, "-1"}}), std::nullopt},
        {"counters beyond 32 bits saturate",
         StatLine(19, "app", "S", {{10, "3000000000"}, {12, "5"}, {20, "99999999999"}}),
         TaskInfo{1023, 1024 * kPage, INT32_MAX, 5, 0, INT32_MAX, 1022}},
        {"fault sum saturates, never wraps",
         StatLine(20, "app", "S", {{10, "2147483647"}, {12, "2147483647"}}),
         TaskInfo{1023, 1024 * kPage, INT32_MAX, INT32_MAX, 0, 1020, 1022}},
        {"huge virtual size saturates",
         StatLine(21, "app", "S", {{23, "18446744073709551615"}, {24, "0"}}),
         TaskInfo{INT64_MAX, 0, 2022, 1012, 0, 1020, 1022}},
    };
    for (const Case& c : cases) {
        int32_t pid = c.pid ? c.pid : std::stoi(c.stat);
        proc.AddFile(pid, "stat", c.stat);
        SCOPED_TRACE(c.what);
        std::optional<TaskInfo> got = TaskInfoOf(pid);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got) {
            EXPECT_EQ(ProcessStartTime(pid), 0u);
            continue;
        }
        EXPECT_EQ(got->virtualBytes, c.expected->virtualBytes);
        EXPECT_EQ(got->residentBytes, c.expected->residentBytes);
        EXPECT_EQ(got->pageFaults, c.expected->pageFaults);
        EXPECT_EQ(got->pageIns, c.expected->pageIns);
        EXPECT_EQ(got->cowFaults, 0);
        EXPECT_EQ(got->threadCount, c.expected->threadCount);
        EXPECT_EQ(got->startTime, c.expected->startTime);
        EXPECT_EQ(ProcessStartTime(pid), c.expected->startTime);
    }
    EXPECT_FALSE(TaskInfoOf(999).has_value()) << "a vanished process has no directory";
    EXPECT_EQ(OpenProcessDir(999), -1);
    EXPECT_EQ(OpenProcessDir(0), -1);
    EXPECT_EQ(OpenProcessDir(-1), -1);
}

// The footprint is anonymous + swapped + page-table memory; a kernel thread has none of these
// lines (0, so the caller falls back) and an unreadable status is -1.
TEST(ProcessInfoFixture, FootprintSumsTheProcessOwnMemory) {
    ProcFixture proc;
    struct Case {
        const char* what;
        std::optional<std::string> status;
        int64_t expected;
    };
    const Case cases[] = {
        {"all three", "Name:\tapp\nVmRSS:\t  500 kB\nRssAnon:\t  100 kB\nRssFile:\t 400 kB\n"
                      "VmPTE:\t       8 kB\nVmSwap:\t      20 kB\nThreads:\t1\n", 128 * 1024},
        {"no swap line", "RssAnon:\t100 kB\nVmPTE:\t4 kB\n", 104 * 1024},
        {"kernel thread", "Name:\tkthreadd\nState:\tS (sleeping)\nUid:\t0\t0\t0\t0\nThreads:\t1\n", 0},
        {"zero", "RssAnon:\t0 kB\nVmSwap:\t0 kB\nVmPTE:\t0 kB\n", 0},
        {"last line cut mid-number", "VmPTE:\t4 kB\nRssAnon:\t12", 4 * 1024},
        {"garbled value", "RssAnon:\tlots kB\nVmPTE:\t4 kB\n", 4 * 1024},
        {"key only as a prefix", "RssAnonX:\t100 kB\nXVmPTE:\t4 kB\n", 0},
        {"empty", "", -1},
        {"missing", std::nullopt, -1},
    };
    int32_t pid = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++pid;
        proc.AddFile(pid, "stat", StatLine(pid, "app", "S"));
        if (c.status) proc.AddFile(pid, "status", *c.status);
        EXPECT_EQ(FootprintOf(pid), c.expected);
    }
}

// The name is the executable's last path component, else the trimmed command name, else
// "Unknown"; the path is the link as the kernel gives it, or empty.
TEST(ProcessInfoFixture, NamesComeFromTheExecutableThenTheCommand) {
    ProcFixture proc;
    struct Case {
        const char* what;
        const char* exe;   // link target, or none
        const char* comm;  // file content, or none
        const char* path;
        const char16_t* name;
    };
    const Case cases[] = {
        {"executable", "/usr/lib/firefox/firefox", "firefox-bin\n", "/usr/lib/firefox/firefox",
         u"firefox"},
        {"blanks in the path", "/opt/My App/bin/My App", nullptr, "/opt/My App/bin/My App",
         u"My App"},
        {"replaced binary", "/usr/bin/tool (deleted)", "tool\n", "/usr/bin/tool (deleted)",
         u"tool (deleted)"},
        {"relative link", "a.out", nullptr, "a.out", u"a.out"},
        {"kernel thread", nullptr, "  kworker/0:1-events \n", "", u"kworker/0:1-events"},
        {"command of blanks", nullptr, " \t \n", "", u"Unknown"},
        {"neither", nullptr, nullptr, "", u"Unknown"},
        {"non-ASCII", "/usr/bin/\xc3\xa9t\xc3\xa9", nullptr, "/usr/bin/\xc3\xa9t\xc3\xa9", u"\u00e9t\u00e9"},
    };
    int32_t pid = 200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++pid;
        proc.AddDir(std::to_string(pid));
        if (c.exe) proc.AddLink(pid, "exe", c.exe);
        if (c.comm) proc.AddFile(pid, "comm", c.comm);
        EXPECT_EQ(ProcessPathForPid(pid), TextFromUtf8(c.path));
        EXPECT_EQ(ProcessNameForPid(pid), Text(c.name));
    }
    EXPECT_EQ(ProcessPathForPid(299), Text()) << "vanished";
    EXPECT_EQ(ProcessNameForPid(299), Text(u"Unknown")) << "vanished";
}

// Only positive numeric entries of the root are PIDs.
TEST(ProcessInfoFixture, ListsOnlyPositiveNumericEntries) {
    ProcFixture proc;
    for (const char* entry : {"1", "42", "31337", "self", "0", "-5", "12a", "99999999999", "sys"})
        proc.AddDir(entry);
    std::vector<int32_t> pids = ListAllPids();
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<int32_t>{1, 42, 31337}));

    SetProcRoot((proc.Root() + "/missing").c_str());
    EXPECT_TRUE(ListAllPids().empty());
}

// A user application belongs to the current real user and runs in the application slice or
// names a display; kernel threads, daemons and other users' processes do not.
TEST(ProcessInfoFixture, UserAppsAreTheUsersDesktopProcesses) {
    ProcFixture proc;
    const std::string me = std::to_string(getuid());
    const std::string mine = "Name:\tapp\nUid:\t" + me + "\t" + me + "\t" + me + "\t" + me + "\n";
    const std::string others = "Name:\tapp\nUid:\t" + std::to_string(getuid() + 1) + "\t" + me +
                               "\t" + me + "\t" + me + "\n";
    const std::string longEntry = "LS_COLORS=" + std::string(5000, 'x') + "DISPLAY=:1";
    const std::string slice = "0::/user.slice/user-1000.slice/user@1000.service/";
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string status, cgroup, environ;
        bool inSlice, namesDisplay, userApp;
    };
    const Case cases[] = {
        {"launched app", mine, slice + "app.slice/app-gnome-gedit-42.scope\n", "HOME=/h\0"s, true,
         false, true},
        {"scope only", mine, "0::/app-firefox-7.scope\n", "", true, false, true},
        {"v1 hierarchies", mine, "12:pids:/\n1:name=systemd:" + slice + "app.slice/x.service\n0::/\n",
         "", true, false, true},
        {"X11 client", mine, "0::/\n", "HOME=/h\0DISPLAY=:0\0"s, false, true, true},
        {"Wayland client", mine, "0::/\n", "WAYLAND_DISPLAY=wayland-0"s, false, true, true},
        {"display after a long entry", mine, "0::/\n", longEntry + "\0DISPLAY=:2\0"s, false, true,
         true},
        {"display only inside another value", mine, "0::/\n", longEntry + "\0"s, false, false,
         false},
        {"empty display", mine, "0::/\n", "DISPLAY=\0WAYLAND_DISPLAY=\0"s, false, false, false},
        {"similar names", mine, "0::/\n", "XDISPLAY=:0\0DISPLAY\0"s, false, false, false},
        {"session service", mine, slice + "session.slice/org.gnome.Shell.service\n", "", false,
         false, false},
        {"app- service, not scope", mine, "0::/system.slice/app-x.service\n", "", false, false,
         false},
        {"slice name ending in app", mine, "0::/user.slice/myapp.slice/x.scope\n", "", false,
         false, false},
        {"kernel thread", "Name:\tkthreadd\nUid:\t0\t0\t0\t0\n", "0::/\n", "", false, false,
         false},
        {"another user's app", others, slice + "app.slice/app-x.scope\n", "DISPLAY=:0\0"s, true,
         true, false},
    };
    int32_t pid = 300;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++pid;
        proc.AddFile(pid, "status", c.status);
        proc.AddFile(pid, "cgroup", c.cgroup);
        proc.AddFile(pid, "environ", c.environ);
        EXPECT_EQ(ProcessInAppSlice(pid), c.inSlice);
        EXPECT_EQ(ProcessNamesDisplay(pid), c.namesDisplay);
        EXPECT_EQ(IsUserAppProcess(pid), c.userApp);
    }
    EXPECT_EQ(ProcessRealUid(301), int64_t(getuid()));
    EXPECT_EQ(ProcessRealUid(pid), int64_t(getuid()) + 1);
    EXPECT_EQ(ProcessRealUid(399), -1) << "vanished";
    EXPECT_FALSE(IsUserAppProcess(399));
}

// The real /proc: this test program and processes it starts.
TEST(ProcessInfoLive, OwnProcessIsDescribed) {
    const int32_t self = getpid();
    char exe[4096];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(length, 0);
    EXPECT_EQ(ProcessPathForPid(self), TextFromUtf8(std::string_view(exe, size_t(length))));
    EXPECT_EQ(ProcessNameForPid(self), Text(u"platform_tests"));
    EXPECT_EQ(ProcessRealUid(self), int64_t(getuid()));
    EXPECT_GT(ProcessStartTime(self), 0u);
    EXPECT_EQ(ProcessStartTime(self), ProcessStartTime(self));
    std::vector<int32_t> pids = ListAllPids();
    EXPECT_NE(std::find(pids.begin(), pids.end(), self), pids.end());
    EXPECT_TRUE(std::all_of(pids.begin(), pids.end(), [](int32_t pid) { return pid > 0; }));
}

TEST(ProcessInfoLive, EnvironmentOfAStartedProgramDecidesTheDisplayTest) {
    struct Case {
        std::vector<std::string> environment;
        bool namesDisplay;
    };
    const Case cases[] = {
        {{"PATH=/bin", "DISPLAY=:7"}, true},
        {{"WAYLAND_DISPLAY=wayland-1"}, true},
        {{"DISPLAY=", "WAYLAND_DISPLAY="}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        WaitingShell shell(c.environment);
        ASSERT_GT(shell.Pid(), 0);
        EXPECT_EQ(ProcessNamesDisplay(shell.Pid()), c.namesDisplay) << c.environment.size();
    }
}

// A directory descriptor keeps naming the process it was opened for: once that process has been
// reaped, reads through it fail instead of reaching whatever takes over the PID.
TEST(ProcessInfoLive, DirectoryOfAReapedProcessReadsNothing) {
    ChildProcess child([](int fromParent, int) { ChildProcess::Await(fromParent); });
    ASSERT_GT(child.Pid(), 0);
    int dirFd = OpenProcessDir(child.Pid());
    ASSERT_GE(dirFd, 0);
    TaskInfo info;
    EXPECT_TRUE(ReadTaskInfoAt(dirFd, info));
    EXPECT_GT(ReadPhysicalFootprintAt(dirFd), 0);

    child.Send();
    child.WaitUntilExited();
    EXPECT_FALSE(ReadTaskInfoAt(dirFd, info)) << "zombie";
    EXPECT_EQ(ProcessStartTime(child.Pid()), 0u) << "zombie";
    child.Reap();
    EXPECT_FALSE(ReadTaskInfoAt(dirFd, info)) << "reaped";
    EXPECT_EQ(ReadPhysicalFootprintAt(dirFd), -1) << "reaped";
    CloseProcessDir(dirFd);
}
