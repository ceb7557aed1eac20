#include "platform/process_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "platform/proc_fixture.h"

using namespace std::string_literals;

namespace {

using TaskFields = std::tuple<int64_t, int64_t, int32_t, int32_t, int32_t, int32_t, uint64_t>;
TaskFields Fields(const TaskInfo& t) {
    return {t.virtualBytes, t.residentBytes, t.pageFaults, t.pageIns, t.cowFaults, t.threadCount, t.startTime};
}

// One task reading and the footprint through the process's own directory, as the sampler reads.
std::pair<std::optional<TaskFields>, int64_t> Read(int32_t pid) {
    const int dirFd = OpenProcessDir(pid);
    TaskInfo info;
    const bool read = dirFd >= 0 && ReadTaskInfoAt(dirFd, info);
    const int64_t footprint = dirFd >= 0 ? ReadPhysicalFootprintAt(dirFd) : -2;
    CloseProcessDir(dirFd);
    return {read ? std::optional(Fields(info)) : std::nullopt, footprint};
}

// The description through the process's own directory, as the picker and the recorder read it.
ProcessDescription Describe(int32_t pid, bool* read = nullptr) {
    const int dirFd = OpenProcessDir(pid);
    ProcessDescription description;
    const bool described = DescribeProcessAt(dirFd, pid, description);
    if (read) *read = described;
    CloseProcessDir(dirFd);
    return description;
}

}  // namespace

// Split after the command name's last ")"; zombies, dead tasks and cut or garbled lines are unreadable.
TEST(ProcessInfoFixture, StatLinesReadFieldByFieldOrNotAtAll) {
    ProcFixture proc;
    const int64_t page = sysconf(_SC_PAGESIZE);
    const TaskInfo usual{1023, 1024 * page, 1010 + 1012, 1012, 0, 1020, 1022};
    const struct { int32_t pid; std::string stat; std::optional<TaskInfo> expected; } cases[] = {
        {10, StatLine(10, "app", "S"), usual}, {11, StatLine(11, ") (x) ) (", "R"), usual},
        {12, StatLine(12, "gone", "Z"), std::nullopt}, {14, StatLine(14, "app", "S").substr(0, 110), std::nullopt},
        {17, StatLine(17, "app", "S", {{10, "12a"}}), std::nullopt},
        {20, StatLine(20, "app", "S", {{10, "3000000000"}, {12, "5"}, {20, "99999999999"}}),
         TaskInfo{1023, 1024 * page, INT32_MAX, 5, 0, INT32_MAX, 1022}},
        {22, StatLine(22, "app", "S", {{23, "18446744073709551615"}, {24, "0"}}),
         TaskInfo{INT64_MAX, 0, 2022, 1012, 0, 1020, 1022}},
        // Flags (field 9): an exiting process (PF_EXITING) has ended though its state says running,
        // and so has a process without an address space that is no kernel thread (PF_KTHREAD).
        {30, StatLine(30, "big", "R", {{9, "4194308"}}), std::nullopt},
        {32, StatLine(32, "big", "R", {{9, "4194304"}, {23, "0"}, {24, "0"}}), std::nullopt},
        {33, StatLine(33, "kworker/0:1", "I", {{9, "69238880"}, {23, "0"}, {24, "0"}}),
         TaskInfo{0, 0, 2022, 1012, 0, 1020, 1022}},
        {34, StatLine(34, "app", "S", {{9, "4194304"}}), usual},
    };
    for (const auto& c : cases) {
        proc.Add(c.pid, "stat", c.stat);
        EXPECT_EQ(Read(c.pid).first, c.expected ? std::optional(Fields(*c.expected)) : std::nullopt) << c.stat;
        EXPECT_EQ(ProcessStartTime(c.pid), c.expected ? c.expected->startTime : 0u) << c.stat;
        bool described = false;
        EXPECT_EQ(Describe(c.pid, &described).startTime, c.expected ? c.expected->startTime : 0u) << c.stat;
        EXPECT_EQ(described, c.expected.has_value()) << c.stat;
    }
    for (int32_t pid : {999, 0, -1}) EXPECT_EQ(OpenProcessDir(pid), -1) << "vanished or invalid: " << pid;
}

// Anonymous + swapped + page-table memory; none of these lines (a kernel thread) is 0, so that the
// caller falls back; an unreadable status is -1.
TEST(ProcessInfoFixture, FootprintSumsTheProcessOwnMemory) {
    ProcFixture proc;
    // A user in hundreds of groups with ten-digit IDs: the Groups line alone outgrows 4 KiB, and
    // the memory lines after it fall beyond the first 4 KiB of the file (or across its edge).
    const auto manyGroups = [](int count, int filler) {
        std::string text = "Name:\tapp\nUid:\t1000\t1000\t1000\t1000\nGroups:\t";
        for (int i = 0; i < count; ++i) text += std::to_string(1800000000 + 7919 * i) + " ";
        text += "\n" + std::string(filler, 'x') + "\nVmRSS:\t132516 kB\nRssAnon:\t65924 kB\n";
        return text + "RssFile:\t66592 kB\nVmPTE:\t28 kB\nVmSwap:\t0 kB\nThreads:\t1\n";
    };
    const struct { std::optional<std::string> status; int64_t expected; } cases[] = {
        {manyGroups(400, 0), (65924 + 28) * 1024}, {manyGroups(360, 20), (65924 + 28) * 1024},
        {"VmRSS:\t 500 kB\nRssAnon:\t  100 kB\nRssFile:\t400 kB\nVmPTE:\t8 kB\nVmSwap:\t20 kB\n", 128 * 1024},
        {"Name:\tkthreadd\nThreads:\t1\n", 0}, {std::nullopt, -1},
        {"RssAnonX:\t100 kB\nXVmPTE:\t4 kB\n", 0},
        {"Name:\tapp\nUid:\t1000\t1000\t1000\t1000\nVmRSS:\t500 kB\nRssAnon:\t100 kB\nXVmPTE:\t4 kB\nVmPTE:\t8 kB\n"
         "VmSwap:\t20 kB\nThreads:\t1\n", 128 * 1024},
    };
    int32_t pid = 100;
    for (const auto& c : cases) {
        ++pid;
        proc.Add(pid, "stat", StatLine(pid, "app", "S"));
        if (c.status) proc.Add(pid, "status", *c.status);
        EXPECT_EQ(Read(pid).second, c.expected) << c.status.value_or("(missing)");
    }
}

// A process lives while any of its threads does: once its leader has ended (a zombie, or exiting),
// its counters stay the leader's line's (which counts for the whole thread group) and its sizes and
// footprint are read through a live thread; with no live thread left it has ended. The held reading
// gives the same as the reading through the directory.
TEST(ProcessInfoFixture, ALeaderThatEndedLeavesItsThreadsToTell) {
    ProcFixture proc;
    const int64_t page = sysconf(_SC_PAGESIZE);
    const std::string leaderStatus = "State:\tZ (zombie)\nUid:\t0\t0\t0\t0\nThreads:\t2\n";
    const std::string threadStatus = "RssAnon:\t300 kB\nVmPTE:\t8 kB\nVmSwap:\t0 kB\n";
    const auto thread = [](int32_t tid, const char* state) {
        return StatLine(tid, "worker", state, {{10, "5"}, {12, "1"}, {23, "7000"}, {24, "3"}});
    };
    const TaskInfo throughThread{7000, 3 * page, 2022, 1012, 0, 2, 1022};
    const struct {
        int32_t pid;
        std::string leader;
        std::vector<std::pair<int32_t, std::string>> threads;  // each thread's stat line
        std::optional<TaskInfo> expected;
        int64_t footprint;
    } cases[] = {
        {600, StatLine(600, "app", "Z", {{20, "2"}}), {{600, StatLine(600, "app", "Z")}, {601, thread(601, "S")}},
         throughThread, 308 * 1024},
        {610, StatLine(610, "app", "R", {{9, "4194308"}, {20, "2"}, {23, "0"}}), {{611, thread(611, "R")}},
         throughThread, 308 * 1024},
        {620, StatLine(620, "app", "Z", {{20, "1"}}), {}, std::nullopt, 0},
        {630, StatLine(630, "app", "Z", {{20, "2"}}), {{631, thread(631, "Z")}}, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        proc.Add(c.pid, "stat", c.leader);
        proc.Add(c.pid, "status", leaderStatus);
        for (const auto& [tid, stat] : c.threads) {
            proc.Add(c.pid, "task/" + std::to_string(tid) + "/stat", stat);
            proc.Add(c.pid, "task/" + std::to_string(tid) + "/status", threadStatus);
        }
        const auto expected = c.expected ? std::optional(Fields(*c.expected)) : std::nullopt;
        EXPECT_EQ(Read(c.pid), std::pair(expected, c.footprint)) << c.leader;
        ProcessHold hold;
        ASSERT_TRUE(HoldProcess(c.pid, hold));
        TaskInfo held;
        const bool read = ReadHeldTaskInfo(hold, held);
        EXPECT_EQ(read ? std::optional(Fields(held)) : std::nullopt, expected) << c.leader;
        EXPECT_EQ(ReadHeldPhysicalFootprint(hold), c.footprint) << c.leader;
        // The live thread is kept; when it ends, the process has.
        for (const auto& [tid, stat] : c.threads)
            proc.Add(c.pid, "task/" + std::to_string(tid) + "/stat", StatLine(tid, "worker", "Z"));
        EXPECT_FALSE(ReadHeldTaskInfo(hold, held)) << c.leader;
        ReleaseProcess(hold);
        EXPECT_EQ(std::tuple(hold.threadStatFd, hold.threadStatusFd), std::tuple(-1, -1));
    }
}

// The executable's last path component, else the trimmed command name, else "Unknown".
TEST(ProcessInfoFixture, NamesComeFromTheExecutableThenTheCommandAndPidsAreNumbers) {
    ProcFixture proc;
    const struct { const char* exe; const char* comm; const char16_t* name; } cases[] = {
        {"/opt/My App/bin/My App", "firefox-bin\n", u"My App"}, {"a.out", nullptr, u"a.out"},
        {nullptr, nullptr, u"Unknown"}, {nullptr, "  kworker/0:1-events \n", u"kworker/0:1-events"},
        // A process names itself: control characters read as "?", so the name stays one line.
        {nullptr, "x\x7fy\x01z\x1f\n", u"x?y?z?"}, {"/tmp/evil\nname\r", "evil\n", u"evil?name?"},
    };
    int32_t pid = 200;
    for (const auto& c : cases) {
        proc.Add(++pid, "");
        if (c.exe) proc.Add(pid, "exe", c.exe, true);
        if (c.comm) proc.Add(pid, "comm", c.comm);
        const ProcessDescription description = Describe(pid);
        EXPECT_EQ(description.path, TextFromUtf8(c.exe ? c.exe : "")) << pid;
        EXPECT_EQ(description.name, Text(c.name)) << pid;
    }
    EXPECT_EQ(Describe(299).path + u"|" + Describe(299).name, u"|Unknown") << "vanished";

    for (const char* entry : {"1", "42", "self", "0", "-5", "12a", "99999999999"})
        std::filesystem::create_directories(std::string(ProcRoot()) + "/" + entry);
    std::vector<int32_t> pids;
    for (const ProcessEntry& entry : ListProcesses()) pids.push_back(entry.pid);
    std::sort(pids.begin(), pids.end());
    EXPECT_EQ(pids, (std::vector<int32_t>{1, 42, 201, 202, 203, 204, 205, 206}));
}

// A user application belongs to the current real user and runs in the application slice or
// names a display; kernel threads, daemons and other users' processes do not.
TEST(ProcessInfoFixture, UserAppsAreTheUsersDesktopProcesses) {
    ProcFixture proc;
    const std::string me = std::to_string(getuid()), ids = "\t" + me + "\t" + me + "\t" + me + "\n";
    const std::string mine = "Uid:\t" + me + ids, others = "Uid:\t" + std::to_string(getuid() + 1) + ids;
    const std::string longEntry = "LS_COLORS=" + std::string(5000, 'x') + "DISPLAY=:1";
    const std::string slice = "0::/user.slice/user-1000.slice/user@1000.service/";
    const struct { std::string status, cgroup, environ; bool inSlice, namesDisplay, userApp; } cases[] = {
        {mine, slice + "app.slice/app-gnome-gedit-42.scope\n", "HOME=/h\0"s, true, false, true},
        {mine, "12:pids:/\n1:name=systemd:" + slice + "app.slice/x.service\n0::/\n", "", true, false, true},
        {mine, "0::/\n", "HOME=/h\0"s + longEntry + "\0DISPLAY=:2\0"s, false, true, true},
        {mine, "0::/\n", longEntry + "\0"s, false, false, false},  // only inside another value
        {mine, "0::/system.slice/app-x.service\n0::/user.slice/myapp.slice/x.scope\n", "", false, false, false},
        {others, slice + "app.slice/app-x.scope\n", "DISPLAY=:0\0"s, true, true, false},
    };
    int32_t pid = 300;
    for (const auto& c : cases) {
        proc.Add(++pid, "status", c.status);
        proc.Add(pid, "cgroup", c.cgroup);
        proc.Add(pid, "environ", c.environ);
        EXPECT_EQ(ProcessInAppSlice(pid), c.inSlice) << c.cgroup;
        EXPECT_EQ(ProcessNamesDisplay(pid), c.namesDisplay) << pid;
        EXPECT_EQ(IsUserAppProcess(pid), c.userApp) << pid;
    }
    EXPECT_EQ(ProcessRealUid(301), int64_t(getuid()));
    EXPECT_EQ(ProcessRealUid(pid), int64_t(getuid()) + 1);
    EXPECT_EQ(ProcessRealUid(399), -1) << "vanished";
}

// Under a fixture root there is no pidfd: the held files are read afresh each time, and the
// process has ended once its directory is gone.
TEST(ProcessInfoFixture, AHeldProcessReadsAfreshUntilItsDirectoryGoes) {
    ProcFixture proc;
    proc.Add(500, "stat", StatLine(500, "app", "S"));
    proc.Add(500, "status", "RssAnon:\t100 kB\n");
    ProcessHold hold;
    EXPECT_FALSE(HoldProcess(501, hold)) << "no such process";
    ASSERT_TRUE(HoldProcess(500, hold));
    EXPECT_EQ(ReadHeldPhysicalFootprint(hold), 100 * 1024);
    proc.Add(500, "status", "RssAnon:\t200 kB\n");  // rewritten in place, as the kernel's copy changes
    EXPECT_EQ(ReadHeldPhysicalFootprint(hold), 200 * 1024);
    EXPECT_FALSE(ProcessHoldEnded(hold));
    std::filesystem::remove_all(std::string(ProcRoot()) + "/500");
    EXPECT_TRUE(ProcessHoldEnded(hold)) << "gone";
    ReleaseProcess(hold);
    EXPECT_EQ(std::tuple(hold.pidFd, hold.statFd, hold.statusFd, hold.dirFd), std::tuple(-1, -1, -1, -1));
}
