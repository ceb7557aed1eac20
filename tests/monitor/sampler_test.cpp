#include "monitor/sampler.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <tuple>

#include "platform/proc_fixture.h"

// Heap allocations of this thread, counted while `allocations` points somewhere. The other forms
// of new and delete forward to these.
namespace { thread_local int* allocations = nullptr; }
void* operator new(std::size_t size) {
    if (allocations) ++*allocations;
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

constexpr int64_t kMB = 1048576;

auto Fields(const MemorySample& s) {
    return std::tuple(s.virtualBytes, s.footprintBytes, s.pageFaults, s.pageIns, s.cowFaults, s.threadCount);
}

// A provider whose answers the test scripts and whose queries it counts.
struct Script { bool opens = true, firstRead = true, secondRead = true; int64_t footprint = 0; };
enum { Opens, Closes, TaskReads, FootprintReads };
Script script;
std::array<int, 4> calls;
const TaskInfo kFirst{1000 * kMB, 111 * kMB, 12, 3, 4, 5, 777}, kSecond{2000 * kMB, 222 * kMB, 13, 4, 5, 6, 777};
struct Scripted : ProcessProvider {
    int OpenProcess(int32_t pid) override { return ++calls[Opens], script.opens ? int(pid) : -1; }
    void CloseProcess(int) override { ++calls[Closes]; }
    bool ReadTaskInfo(int, TaskInfo& out) override {
        const bool first = calls[TaskReads]++ == 0;
        out = first ? kFirst : kSecond;
        return first ? script.firstRead : script.secondRead;
    }
    int64_t ReadFootprint(int) override { return ++calls[FootprintReads], script.footprint; }
} scripted;

}  // namespace

// Footprint by preference: the footprint query, else the resident size of a second task read
// (never the first's), else 0; only the first task read can fail the sample, and then nothing
// else is queried.
TEST(SamplerFallback, FootprintOrderAndTheSingleFailureRule) {
    const struct { Script script; uint64_t startTime; int64_t footprint; std::array<int, 4> calls; } cases[] = {
        {{true, true, true, 50 * kMB}, 0, 50 * kMB, {1, 1, 1, 1}}, {{true, true, true, 0}, 0, 222 * kMB, {1, 1, 2, 1}},
        {{true, true, true, -1}, 0, 222 * kMB, {1, 1, 2, 1}}, {{true, true, false, -1}, 0, 0, {1, 1, 2, 1}},
        {{true, false, true, 50 * kMB}, 0, -9, {1, 1, 1, 0}}, {{false, true, true, 50 * kMB}, 0, -9, {1, 0, 0, 0}},
        {{true, true, true, 50 * kMB}, 778, -9, {1, 1, 1, 0}},  // the PID now names another process
    };
    for (const auto& c : cases) {
        script = c.script;
        calls = {};
        MemorySample sample{-9, -9, -9, -9, -9, -9};
        const bool readable = ReadMemorySample(42, sample, c.startTime, scripted);
        EXPECT_EQ(readable, c.footprint != -9) << &c - cases;  // -9: not read, or left as it was
        EXPECT_EQ(calls, c.calls) << &c - cases;
        // The counters come from the first read; a failure leaves the sample untouched.
        EXPECT_EQ(Fields(sample), readable ? std::tuple(kFirst.virtualBytes, c.footprint, 12, 3, 4, 5)
                                           : Fields(MemorySample{-9, -9, -9, -9, -9, -9})) << &c - cases;
    }
}

namespace {

// A provider that can hold, with scripted answers; the plain queries count as before.
struct HoldScript { bool holds = true, ended = false, firstRead = true; uint64_t startTime = 777; int64_t footprint = 0; };
enum { Holds, Releases, HeldTaskReads, HeldFootprintReads, EndChecks };
HoldScript holdScript;
std::array<int, 5> holdCalls;
struct Holding : Scripted {
    bool CanHold() const override { return true; }
    bool HoldProcess(int32_t pid, ProcessHold& out) override {
        ++holdCalls[Holds];
        if (holdScript.holds) out = ProcessHold{pid, int(pid), int(pid) + 1, int(pid) + 2};
        return holdScript.holds;
    }
    void ReleaseProcess(ProcessHold& hold) override { ++holdCalls[Releases], hold = ProcessHold{}; }
    bool HoldEnded(const ProcessHold&) override { return ++holdCalls[EndChecks], holdScript.ended; }
    bool ReadHeldTaskInfo(const ProcessHold& hold, TaskInfo& out) override {
        const bool first = holdCalls[HeldTaskReads]++ % 2 == 0;
        out = first ? kFirst : kSecond;
        out.startTime = holdScript.startTime;
        return hold.statFd == 43 && (!first || holdScript.firstRead);
    }
    int64_t ReadHeldFootprint(const ProcessHold&) override { return ++holdCalls[HeldFootprintReads], holdScript.footprint; }
} holding;

}  // namespace

// Opening holds the process, then confirms its start time and that it has not ended; each reading
// goes through the hold, follows the footprint order, and ends for good when the hold says so.
TEST(SamplerHeldTarget, OpensOnlyTheExpectedProcessAndReadsUntilItEnds) {
    const struct { const char* name; HoldScript script; uint64_t expected; bool opens; std::array<int, 5> calls; } opening[] = {
        {"held and confirmed", {}, 777, true, {1, 0, 1, 0, 1}}, {"any start time", {}, 0, true, {1, 0, 1, 0, 1}},
        {"gone", {false}, 777, false, {1, 0, 0, 0, 0}}, {"another process", {}, 778, false, {1, 1, 1, 0, 0}},
        {"ended while opening", {true, true}, 777, false, {1, 1, 1, 0, 1}},
        {"unreadable", {true, false, false}, 777, false, {1, 1, 1, 0, 0}},
    };
    for (const auto& c : opening) {
        holdScript = c.script;
        holdCalls = {};
        HeldTarget target;
        EXPECT_EQ(OpenHeldTarget(42, c.expected, target, holding), c.opens) << c.name;
        EXPECT_EQ(holdCalls, c.calls) << c.name;
        EXPECT_EQ(std::tuple(target.pid, target.startTime, target.held, target.hold.statFd),
                  c.opens ? std::tuple(42, uint64_t(777), true, 43) : std::tuple(0, uint64_t(0), false, -1)) << c.name;
        CloseHeldTarget(target);
    }
    const struct { const char* name; HoldScript script; int64_t footprint; std::array<int, 5> calls; } reading[] = {
        {"footprint", {true, false, true, 777, 50 * kMB}, 50 * kMB, {0, 0, 1, 1, 1}},
        {"resident size of a second read", {true, false, true, 777, 0}, 222 * kMB, {0, 0, 2, 1, 1}},
        {"ended", {true, true, true, 777, 50 * kMB}, -9, {0, 0, 1, 1, 1}},
        {"another start time", {true, false, true, 778, 50 * kMB}, -9, {0, 0, 1, 0, 0}},
        {"unreadable", {true, false, false, 777, 50 * kMB}, -9, {0, 0, 1, 0, 0}},
    };
    for (const auto& c : reading) {
        holdScript = {};
        HeldTarget target;
        ASSERT_TRUE(OpenHeldTarget(42, 777, target, holding));
        holdScript = c.script;
        holdCalls = {};
        MemorySample sample{-9, -9, -9, -9, -9, -9};
        EXPECT_EQ(ReadHeldTargetSample(target, sample), c.footprint != -9) << c.name;
        EXPECT_EQ(holdCalls, c.calls) << c.name;
        EXPECT_EQ(Fields(sample), c.footprint != -9 ? std::tuple(kFirst.virtualBytes, c.footprint, 12, 3, 4, 5)
                                                     : Fields(MemorySample{-9, -9, -9, -9, -9, -9})) << c.name;
        CloseHeldTarget(target);
        CloseHeldTarget(target);  // twice is harmless
        EXPECT_EQ(holdCalls[Releases], 1) << c.name;
    }
}

// A provider that cannot hold: the target is its PID and the start time confirmed at opening,
// checked again at every reading.
TEST(SamplerHeldTarget, WithoutHoldingReadsByPidAndStartTime) {
    script = {};
    HeldTarget target, other;
    EXPECT_FALSE(OpenHeldTarget(42, 778, other, scripted));
    EXPECT_TRUE(OpenHeldTarget(42, 0, target, scripted));
    EXPECT_EQ(std::tuple(target.pid, target.startTime, target.held), std::tuple(42, uint64_t(777), false));
    calls = {};
    MemorySample sample;
    EXPECT_TRUE(ReadHeldTargetSample(target, sample));
    EXPECT_EQ(calls, (std::array<int, 4>{1, 1, 2, 1}));
    target.startTime = 778;  // as if the PID now named a process started later
    EXPECT_FALSE(ReadHeldTargetSample(target, sample));
    EXPECT_FALSE(ReadHeldTargetSample(other, sample)) << "never opened";
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
// directory opened while it lived (a reused PID is never read in its place); and no reading, of
// any outcome, touches the heap.
TEST(SamplerLive, ExitedChildrenCannotBeReadAndNoReadingAllocates) {
    ChildProcess child(ChildProcess::Pause);
    const pid_t pid = child.Pid();
    ASSERT_TRUE(child.WaitUntil());
    const uint64_t started = ProcessStartTime(pid);
    const int dirFd = OpenProcessDir(pid);
    MemorySample self, sample;
    TaskInfo info;
    int count = 0;
    allocations = &count;  // no ASSERT from here on: the counter must be unhooked
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
    void* volatile memory = ::operator new(16);  // the counter itself is live
    ::operator delete(memory);
    allocations = nullptr;
    EXPECT_EQ(count, 1);
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
    int count = 0;
    allocations = &count;
    EXPECT_TRUE(ReadHeldTargetSample(target, sample) && sample.virtualBytes > 0 && sample.threadCount == 1);
    allocations = nullptr;
    EXPECT_EQ(count, 0);
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
