#include "monitor/sampler.h"

#include <gtest/gtest.h>
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
    target.hold.pidFd = -1;  // as under a fixture root, where only the directory tells the end
    EXPECT_FALSE(ReadHeldTargetSample(target, sample)) << "ended";
    CloseHeldTarget(target);
    script = {};  // a provider that cannot hold confirms the start time too (the session tests read through one)
    EXPECT_FALSE(OpenHeldTarget(42, 778, target, scripted));
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
    for (int attempt = 0, reused = 0; attempt < 20 && reused < 3; ++attempt) {
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
            reused += ProcessStartTime(pid) == started;  // timing decides how often; usually always
        }
        CloseHeldTarget(held);
    }
}
