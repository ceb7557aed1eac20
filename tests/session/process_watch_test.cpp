// Watching processes by name and PID: which processes answer to a name, and a real watch that
// picks up processes as they start, drops them as they end, and takes a restart for a new process.
#include "session/process_watch.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "platform/proc_fixture.h"
#include "strings/stringtable.h"

namespace {

TEST(ProcessWatch, NamesAnswerToTheCommandOrTheExecutable) {
    const struct { const char *name, *command, *executable; bool matches; } cases[] = {
        {"nginx", "nginx: worker", "nginx", true},  // a process that renamed itself
        {"python3", "my-service", "python3.11", false},
        {"ngin", "nginx", "nginx", false},
        // The kernel cuts command names at 15 bytes: the executable decides where it can be read ...
        {"quolk_test_allocator", "quolk_test_allo", "quolk_test_allocator", true},
        // ... and where it cannot (another user's process), the cut name answers to the longer ones.
        {"quolk_test_allocator", "quolk_test_allo", "", true},
        {"quolk_test_alxx", "quolk_test_al", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWatchName(c.name, c.command, c.executable), c.matches) << c.name << " / " << c.command;
}

// A copy of sleep under a name that no other process on the machine has.
struct NamedSleeper {
    ScratchDir dir;
    std::string name = "qw" + std::to_string(getpid());
    std::string path = dir.File(name);
    NamedSleeper() { std::filesystem::copy_file("/bin/sleep", path); }
    // A running copy, ended with the pointer.
    std::unique_ptr<ChildProcess> Start() const {
        auto child = std::make_unique<ChildProcess>([&] { execl(path.c_str(), name.c_str(), "60", (char*)nullptr); });
        WaitAsleep(child->Pid(), path);
        return child;
    }
    // Until the process sleeps (in pause, or in sleep once it has executed), however busy the
    // machine: then it has run and its figures are all there.
    static void WaitAsleep(pid_t pid, const std::string& executable = "") {
        const std::string dir = "/proc/" + std::to_string(pid);
        for (int i = 0; i < 1000; ++i) {
            std::error_code gone;
            std::string line;
            std::getline(std::ifstream(dir + "/stat"), line);
            if (line.find(") S ") != std::string::npos &&
                (executable.empty() || std::filesystem::read_symlink(dir + "/exe", gone).string() == executable))
                return;
            usleep(2000);
        }
    }
};

std::set<int32_t> Pids(const std::vector<WatchKey>& keys) {
    std::set<int32_t> pids;
    for (const WatchKey& key : keys) pids.insert(key.pid);
    return pids;
}

TEST(ProcessWatch, FollowsProcessesAsTheyStartAndEnd) {
    LoadStringTable(u"en");
    NamedSleeper sleeper;
    std::unique_ptr<ChildProcess> first = sleeper.Start(), second;
    ChildProcess byPid([] { pause(); });  // another one, chosen by its PID under its own name
    NamedSleeper::WaitAsleep(byPid.Pid());
    WatchSettings settings;
    settings.names = {sleeper.name, "no-such-process-name"};
    settings.pids = {byPid.Pid()};
    settings.intervalMs = 100;
    ProcessWatch watch(settings);
    double now = 0;
    EXPECT_EQ(Pids(watch.Tick(now += 0.1).started), (std::set<int32_t>{first->Pid(), byPid.Pid()}));
    ASSERT_EQ(watch.Processes().size(), 2u);
    for (const auto& [key, process] : watch.Processes()) {
        const WatchedFigures& f = process.figures;
        EXPECT_EQ(process.name, key.pid == first->Pid() ? sleeper.name : "session_tests");
        EXPECT_TRUE(f.footprintBytes > 0 && f.virtualBytes > f.footprintBytes && f.pageFaults > 0 && f.threads == 1);
    }
    EXPECT_TRUE(watch.Tick(now += 0.1).started.empty()) << "nothing new";
    // The service restarts: the old one is dropped, the new one is a new process.
    const pid_t old = first->Pid(), pidOnly = byPid.Pid();
    first.reset();
    second = sleeper.Start();
    const WatchChanges changes = watch.Tick(now += 0.1);
    EXPECT_EQ(std::tuple(Pids(changes.ended), Pids(changes.started)),
              std::tuple(std::set{old}, std::set{second->Pid()}));
    kill(pidOnly, SIGKILL);
    byPid.Reap();
    EXPECT_EQ(Pids(watch.Tick(now += 0.1).ended), std::set<int32_t>{pidOnly});
    const pid_t last = second->Pid();
    second.reset();
    EXPECT_EQ(Pids(watch.Tick(now += 0.1).ended), std::set<int32_t>{last});
    EXPECT_TRUE(watch.Processes().empty());
}

}  // namespace
