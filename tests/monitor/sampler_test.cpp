#include "monitor/sampler.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <tuple>

#include "platform/proc_fixture.h"

namespace {

constexpr int64_t kMB = 1048576;

auto Fields(const MemorySample& s) {
    return std::tuple(s.virtualBytes, s.footprintBytes, s.pageFaults, s.pageIns, s.cowFaults, s.threadCount);
}
const MemorySample kUntouched{-9, -9, -9, -9, -9, -9};

// A provider whose answers the test scripts: the first task read gives kFirst, later ones kSecond
// (whose resident size tells that the footprint fell back to a second read).
struct Script {
    bool opens = true, holds = true, ended = false, firstRead = true, secondRead = true;
    uint64_t startTime = 777;
    int64_t footprint = 0;
    int taskReads = 0, releases = 0, openHandles = 0;
};
Script script;
const TaskInfo kFirst{1000 * kMB, 111 * kMB, 12, 3, 4, 5, 777}, kSecond{2000 * kMB, 222 * kMB, 13, 4, 5, 6, 777};
bool ScriptedTaskRead(TaskInfo& out) {
    const bool first = script.taskReads++ % 2 == 0;
    out = first ? kFirst : kSecond;
    out.startTime = script.startTime;
    return first ? script.firstRead : script.secondRead;
}
struct Scripted : ProcessProvider {
    int OpenProcess(int32_t pid) override { return script.opens ? (++script.openHandles, int(pid)) : -1; }
    void CloseProcess(int) override { --script.openHandles; }
    bool ReadTaskInfo(int, TaskInfo& out) override { return ScriptedTaskRead(out); }
    int64_t ReadFootprint(int) override { return script.footprint; }
} scripted;
struct Holding : Scripted {
    bool CanHold() const override { return true; }
    bool HoldProcess(int32_t pid, ProcessHold& out) override {
        if (script.holds) out = ProcessHold{pid, int(pid), int(pid) + 1, int(pid) + 2};
        return script.holds;
    }
    void ReleaseProcess(ProcessHold& hold) override { ++script.releases, hold = ProcessHold{}; }
    bool HoldEnded(const ProcessHold&) override { return script.ended; }
    bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) override { return ScriptedTaskRead(out) && hold.statFd == 43; }
    int64_t ReadHeldFootprint(const ProcessHold&) override { return script.footprint; }
} holding;

}  // namespace

// Footprint by preference: the footprint query, else the resident size of a second task read
// (never the first's), else 0; only the first task read can fail the sample, which then stays as
// it was. The same order holds for a held target, which also ends when its process does.
TEST(SamplerScripted, FootprintOrderAndTheSingleFailureRule) {
    const struct { const char* name; Script script; uint64_t startTime; int64_t footprint; } cases[] = {
        {"footprint", {.footprint = 50 * kMB}, 0, 50 * kMB},
        {"no footprint: resident size", {}, 0, 222 * kMB},
        {"an unreadable footprint", {.footprint = -1}, 0, 222 * kMB},
        {"nor a second read", {.secondRead = false, .footprint = -1}, 0, 0},
        {"first read fails", {.firstRead = false, .footprint = 50 * kMB}, 0, -9},
        {"gone", {.opens = false, .footprint = 50 * kMB}, 0, -9},
        {"the PID names another process", {.footprint = 50 * kMB}, 778, -9},
    };
    for (bool held : {false, true}) {
        for (const auto& c : cases) {
            script = {};
            HeldTarget target;
            MemorySample sample = kUntouched;
            bool readable = false;
            if (!held) {
                script = c.script;
                readable = ReadMemorySample(42, sample, c.startTime, scripted);
            } else if (c.script.opens) {  // opened while everything reads, then read as scripted
                ASSERT_TRUE(OpenHeldTarget(42, 777, target, holding));
                script = c.script;
                script.startTime = c.startTime ? c.startTime : 777;
                readable = ReadHeldTargetSample(target, sample);
            }
            SCOPED_TRACE(std::string(c.name) + (held ? ", held" : ""));
            EXPECT_EQ(readable, c.footprint != -9);
            // The counters come from the first read; a failure leaves the sample untouched.
            EXPECT_EQ(Fields(sample), readable ? std::tuple(kFirst.virtualBytes, c.footprint, 12, 3, 4, 5) : Fields(kUntouched));
            EXPECT_EQ(script.openHandles, 0) << "every process opened is closed again";
            CloseHeldTarget(target);
        }
    }
}

// Opening holds the process, then confirms its start time and that it has not ended; what it
// took is let go when it is not the expected process, and once when the target is closed.
TEST(SamplerScripted, AHeldTargetIsOnlyTheExpectedProcessAndEndsWithIt) {
    const struct { const char* name; Script script; uint64_t expected; bool opens; int releases; } opening[] = {
        {"held and confirmed", {}, 777, true, 1}, {"any start time", {}, 0, true, 1},
        {"gone", {.holds = false}, 777, false, 0}, {"another process", {}, 778, false, 1},
        {"ended while opening", {.ended = true}, 777, false, 1}, {"unreadable", {.firstRead = false}, 777, false, 1},
    };
    for (const auto& c : opening) {
        script = c.script;
        HeldTarget target;
        EXPECT_EQ(OpenHeldTarget(42, c.expected, target, holding), c.opens) << c.name;
        EXPECT_EQ(std::tuple(target.pid, target.startTime, target.held, target.hold.statFd),
                  c.opens ? std::tuple(42, uint64_t(777), true, 43) : std::tuple(0, uint64_t(0), false, -1)) << c.name;
        CloseHeldTarget(target);
        CloseHeldTarget(target);  // twice is harmless
        EXPECT_EQ(script.releases, c.releases) << c.name;
    }
    script = {};
    HeldTarget target;
    MemorySample sample;
    ASSERT_TRUE(OpenHeldTarget(42, 777, target, holding));
    script.ended = true;
    EXPECT_FALSE(ReadHeldTargetSample(target, sample)) << "ended";
    CloseHeldTarget(target);
    script = {};  // a provider that cannot hold confirms the start time too (the session tests read through one)
    EXPECT_FALSE(OpenHeldTarget(42, 778, target, scripted));
}

TEST(SamplerLive, FootprintAndThreadsFollowTheChild) {
    constexpr size_t kTouched = 65 * kMB;  // a margin: the kernel's resident counters may lag a little
    ChildProcess child([] {
        pthread_t threads[3];
        for (pthread_t& thread : threads)  // each sleeps until the child is killed
            pthread_create(&thread, nullptr, [](void*) -> void* { for (;;) pause(); }, nullptr);
        ChildProcess::Pause();
        auto* memory = static_cast<char*>(
            mmap(nullptr, kTouched, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        for (size_t offset = 0; memory != MAP_FAILED && offset < kTouched; offset += 4096) memory[offset] = 1;
        ChildProcess::Pause();
    });
    MemorySample before, after;
    ASSERT_TRUE(child.WaitUntil() && ReadMemorySample(child.Pid(), before));
    child.Resume();
    ASSERT_TRUE(child.WaitUntil() && ReadMemorySample(child.Pid(), after));
    EXPECT_EQ(after.threadCount, 4);
    EXPECT_GE(after.footprintBytes - before.footprintBytes, 64 * kMB);
    EXPECT_GE(after.virtualBytes - before.virtualBytes, 64 * kMB);
    EXPECT_GE(after.pageFaults - before.pageFaults, 64 * kMB / 4096 / 512);  // even with huge pages
}

// An exited process is gone whether or not its parent has collected it yet, also through the
// directory opened while it lived (a reused PID is never read in its place).
TEST(SamplerLive, ExitedChildrenCannotBeRead) {
    ChildProcess child(ChildProcess::Pause);
    const pid_t pid = child.Pid();
    ASSERT_TRUE(child.WaitUntil());
    const uint64_t started = ProcessStartTime(pid);
    const int dirFd = OpenProcessDir(pid);
    MemorySample self, sample;
    TaskInfo info;
    EXPECT_TRUE(ReadMemorySample(getpid(), self) && ReadMemorySample(pid, sample, started)) << "alive";
    EXPECT_FALSE(ReadMemorySample(pid, sample, started + 1) || ReadMemorySample(pid, sample, started - 1));
    EXPECT_TRUE(ReadTaskInfoAt(dirFd, info));
    child.Resume();
    EXPECT_TRUE(child.WaitUntil(WEXITED | WNOWAIT));
    EXPECT_FALSE(ReadMemorySample(pid, sample) || ReadMemorySample(pid, sample, started)) << "zombie";
    EXPECT_FALSE(ReadTaskInfoAt(dirFd, info)) << "zombie, through the old directory";
    child.Reap();
    EXPECT_FALSE(ReadMemorySample(pid, sample) || ReadTaskInfoAt(dirFd, info)) << "reaped";
    EXPECT_EQ(ReadPhysicalFootprintAt(dirFd), -1) << "reaped";
    EXPECT_TRUE(self.footprintBytes > 0 && self.virtualBytes >= self.footprintBytes);
    CloseProcessDir(dirFd);
}

// A held child reads until it exits; as a zombie and once reaped it is gone, also when a new
// process takes over its PID within the same clock tick (forced here through ns_last_pid, which
// needs root), where PID and start time alone cannot tell the two apart.
TEST(SamplerLive, AHeldTargetEndsWithItsProcessAndNeverReadsASuccessor) {
    ChildProcess child(ChildProcess::Pause);
    ASSERT_TRUE(child.WaitUntil());
    HeldTarget target;
    MemorySample sample;
    ASSERT_TRUE(OpenHeldTarget(child.Pid(), ProcessStartTime(child.Pid()), target));
    EXPECT_TRUE(target.held && target.hold.pidFd >= 0);
    EXPECT_TRUE(ReadHeldTargetSample(target, sample) && sample.virtualBytes > 0 && sample.threadCount == 1);
    child.Resume();
    kill(child.Pid(), SIGKILL);
    EXPECT_TRUE(child.WaitUntil(WEXITED | WNOWAIT));
    EXPECT_FALSE(ReadHeldTargetSample(target, sample)) << "zombie";
    child.Reap();
    EXPECT_FALSE(ReadHeldTargetSample(target, sample)) << "reaped";
    CloseHeldTarget(target);

    FILE* lastPid = std::fopen("/proc/sys/kernel/ns_last_pid", "w");
    if (!lastPid) GTEST_SKIP() << "reusing a PID on purpose needs root";
    std::fclose(lastPid);
    int sameTick = 0;
    for (int attempt = 0; attempt < 20 && sameTick < 3; ++attempt) {
        ChildProcess first(ChildProcess::Pause);
        if (!first.WaitUntil()) continue;
        const pid_t pid = first.Pid();
        const uint64_t started = ProcessStartTime(pid);
        HeldTarget held;
        if (!OpenHeldTarget(pid, started, held)) continue;
        first.Resume();
        kill(pid, SIGKILL);
        first.Reap();
        lastPid = std::fopen("/proc/sys/kernel/ns_last_pid", "w");
        std::fprintf(lastPid, "%d", int(pid) - 1);
        std::fclose(lastPid);
        ChildProcess second(ChildProcess::Pause);
        if (second.Pid() == pid && second.WaitUntil()) {
            EXPECT_FALSE(ReadHeldTargetSample(held, sample)) << "the successor was read";
            if (ProcessStartTime(pid) == started) {
                ++sameTick;  // PID and start time alone take the successor for the target
                EXPECT_TRUE(ReadMemorySample(pid, sample, started));
            }
        }
        CloseHeldTarget(held);
    }
    RecordProperty("reusesWithinOneTick", sameTick);  // timing decides how often; usually all
}

TEST(SamplerLive, InitReadsWhenRunningAsRoot) {
    if (geteuid() != 0) GTEST_SKIP() << "another user's process needs root";
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(1, sample));
    EXPECT_GT(sample.virtualBytes, 0);
}

TEST(SamplerMegabytes, OneRoundingFromTheDoubleProduct) {
    // 2^60 + 2^36 + 1 bytes: straight to float that is 2^40 + 2^17 MB; the double product rounds to
    // 2^40 + 2^16 first, a tie that then rounds to even, 2^40.
    const int64_t tie = (int64_t(1) << 60) + (int64_t(1) << 36) + 1;
    const std::pair<int64_t, float> cases[] = {{1572864, 1.5f}, {-1048576, -1.0f}, {tie, 1099511627776.0f}};
    for (const auto& [bytes, mb] : cases) EXPECT_EQ(BytesToMB(bytes), mb) << bytes;
}
