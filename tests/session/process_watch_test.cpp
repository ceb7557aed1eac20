// Watching processes by name and PID: which processes answer to a name, and a real watch that
// picks up processes as they start, drops them as they end, and takes a restart for a new process.
#include "session/process_watch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "scratch_dir.h"
#include "strings/stringtable.h"

namespace {

TEST(ProcessWatch, NamesAnswerToTheCommandOrTheExecutable) {
    struct Case {
        const char *name, *command, *executable;
        bool matches;
    };
    const Case cases[] = {
        {"nginx", "nginx", "nginx", true},
        {"nginx", "nginx: worker", "nginx", true},   // a process that renamed itself
        {"python3", "my-service", "python3.11", false},
        {"my-service", "my-service", "python3.11", true},
        {"ngin", "nginx", "nginx", false},
        // The kernel cuts command names at 15 bytes: the executable decides where it can be read ...
        {"quolk_test_allocator", "quolk_test_allo", "quolk_test_allocator", true},
        {"quolk_test_allocator_2", "quolk_test_allo", "quolk_test_allocator", false},
        // ... and where it cannot (another user's process), the cut name answers to the longer ones.
        {"quolk_test_allocator", "quolk_test_allo", "", true},
        {"quolk_test_allo", "quolk_test_allo", "", true},
        {"quolk_test_al", "quolk_test_al", "", true},
        {"quolk_test_alxx", "quolk_test_al", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesWatchName(c.name, c.command, c.executable), c.matches) << c.name << " / " << c.command;
}

// A copy of sleep under a name that no other process on the machine has.
struct NamedSleeper {
    ScratchDir dir;
    std::string name = "qw" + std::to_string(getpid());
    std::string path = dir.File(name);
    NamedSleeper() { std::filesystem::copy_file("/bin/sleep", path); }
    pid_t Start() const {
        const pid_t pid = fork();
        if (pid == 0) {
            execl(path.c_str(), name.c_str(), "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        usleep(50000);  // until it has executed
        return pid;
    }
};

void End(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::set<int32_t> Pids(const std::vector<WatchKey>& keys) {
    std::set<int32_t> pids;
    for (const WatchKey& key : keys) pids.insert(key.pid);
    return pids;
}

TEST(ProcessWatch, FollowsProcessesAsTheyStartAndEnd) {
    LoadStringTable(u"en");
    NamedSleeper sleeper;
    const pid_t first = sleeper.Start();
    // Another process, chosen by its PID under its own name.
    const pid_t byPid = fork();
    if (byPid == 0) {
        pause();
        _exit(0);
    }
    WatchSettings settings;
    settings.names = {sleeper.name, "no-such-process-name"};
    settings.pids = {byPid};
    settings.intervalMs = 100;
    ProcessWatch watch(settings);
    double now = 0;
    WatchChanges changes = watch.Tick(now += 0.1);
    EXPECT_EQ(Pids(changes.started), (std::set<int32_t>{first, byPid}));
    ASSERT_EQ(watch.Processes().size(), 2u);
    for (const auto& [key, process] : watch.Processes()) {
        EXPECT_EQ(process.name, key.pid == first ? sleeper.name : "session_tests");
        EXPECT_GT(process.figures.footprintBytes, 0);
        EXPECT_GT(process.figures.virtualBytes, process.figures.footprintBytes);
        EXPECT_EQ(process.figures.threads, 1);
        EXPECT_GT(process.figures.pageFaults, 0);
    }
    EXPECT_TRUE(watch.Tick(now += 0.1).started.empty()) << "nothing new";

    // The service restarts: the old one is dropped, the new one is a new process.
    End(first);
    const pid_t second = sleeper.Start();
    changes = watch.Tick(now += 0.1);
    EXPECT_EQ(Pids(changes.ended), std::set<int32_t>{first});
    EXPECT_EQ(Pids(changes.started), std::set<int32_t>{second});
    End(byPid);
    changes = watch.Tick(now += 0.1);
    EXPECT_EQ(Pids(changes.ended), std::set<int32_t>{byPid});
    EXPECT_EQ(watch.Processes().size(), 1u);
    End(second);
    EXPECT_EQ(Pids(watch.Tick(now += 0.1).ended), std::set<int32_t>{second});
    EXPECT_TRUE(watch.Processes().empty());
}

// A refresh reads what it has not read before, and a known process's name again only now and
// then, so that a listing at every interval costs little more than the directory.
TEST(ProcessWatch, TheProcessTableRereadsLittle) {
    ProcessTable table;
    ASSERT_TRUE(table.Refresh(0.0));
    const size_t listed = table.Entries().size();
    EXPECT_GE(table.LastReads(), int64_t(listed));
    ASSERT_TRUE(table.Refresh(1000.0));  // old enough now: every name is read again once
    ASSERT_TRUE(table.Refresh(1000.5));
    EXPECT_LE(table.LastReads(), int64_t(listed / 10)) << "only the processes new since";
    EXPECT_TRUE(table.Entries().count(getpid()));
}

}  // namespace
