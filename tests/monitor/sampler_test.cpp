#include "monitor/sampler.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#include "platform/proc_fixture.h"

// --- Heap allocations, counted only while a test asks ----------------------------------------
// The replacements serve the whole test program; outside a counted stretch they only allocate.

namespace {
thread_local bool countingAllocations = false;
thread_local int allocationCount = 0;

void* CountedAllocation(std::size_t size) {
    if (countingAllocations) ++allocationCount;
    return std::malloc(size ? size : 1);
}

// The number of heap allocations that body makes on this thread.
template <typename Body>
int AllocationsDuring(Body body) {
    allocationCount = 0;
    countingAllocations = true;
    body();
    countingAllocations = false;
    return allocationCount;
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* memory = CountedAllocation(size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocation(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocation(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

constexpr int64_t kMB = 1048576;

// Points ReadMemorySample at another provider while it lives.
class ProviderGuard {
public:
    explicit ProviderGuard(const ProcessProvider& provider) : previous_(SetProcessProvider(provider)) {}
    ~ProviderGuard() { SetProcessProvider(previous_); }

private:
    ProcessProvider previous_;
};

// --- A scripted provider that counts its queries ---------------------------------------------

struct Script {
    bool opens = true;
    bool firstTaskRead = true;
    bool secondTaskRead = true;
    int64_t footprint = 0;
};

struct Calls {
    int opens = 0, closes = 0, taskReads = 0, footprintReads = 0;
};

Script script;
Calls calls;

const TaskInfo kFirstRead{1000 * kMB, 111 * kMB, 12, 3, 4, 5, 777};
const TaskInfo kSecondRead{2000 * kMB, 222 * kMB, 13, 4, 5, 6, 777};

const ProcessProvider kScripted{
    [](int32_t pid) {
        ++calls.opens;
        return script.opens ? int(pid) : -1;
    },
    [](int) { ++calls.closes; },
    [](int, TaskInfo& out) {
        bool first = calls.taskReads++ == 0;
        if (!(first ? script.firstTaskRead : script.secondTaskRead)) return false;
        out = first ? kFirstRead : kSecondRead;
        return true;
    },
    [](int) {
        ++calls.footprintReads;
        return script.footprint;
    },
};

}  // namespace

// Footprint by preference: the footprint query, else the resident size of a second task read
// (never the first's), else 0; only the first task read can fail the sample, and then nothing
// else is queried.
TEST(SamplerFallback, FootprintOrderAndTheSingleFailureRule) {
    ProviderGuard guard(kScripted);
    struct Case {
        const char* what;
        Script script;
        uint64_t expectedStartTime;
        bool readable;
        int64_t footprint;
        Calls calls;
    };
    const Case cases[] = {
        {"footprint known", {true, true, true, 50 * kMB}, 0, true, 50 * kMB, {1, 1, 1, 1}},
        {"footprint 0: second read", {true, true, true, 0}, 0, true, 222 * kMB, {1, 1, 2, 1}},
        {"footprint failed: second read", {true, true, true, -1}, 0, true, 222 * kMB, {1, 1, 2, 1}},
        {"both failed: 0, still a sample", {true, true, false, -1}, 0, true, 0, {1, 1, 2, 1}},
        {"first read failed", {true, false, true, 50 * kMB}, 0, false, -9, {1, 1, 1, 0}},
        {"no such process", {false, true, true, 50 * kMB}, 0, false, -9, {1, 0, 0, 0}},
        {"start time matches", {true, true, true, 50 * kMB}, 777, true, 50 * kMB, {1, 1, 1, 1}},
        {"PID taken by another process", {true, true, true, 50 * kMB}, 778, false, -9, {1, 1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        script = c.script;
        calls = {};
        MemorySample sample{-9, -9, -9, -9, -9, -9};
        bool readable = ReadMemorySample(42, sample, c.expectedStartTime);
        ASSERT_EQ(readable, c.readable);
        EXPECT_EQ(calls.opens, c.calls.opens);
        EXPECT_EQ(calls.closes, c.calls.closes);
        EXPECT_EQ(calls.taskReads, c.calls.taskReads);
        EXPECT_EQ(calls.footprintReads, c.calls.footprintReads);
        EXPECT_EQ(sample.footprintBytes, c.footprint);
        // Counters always come from the first read; a failure leaves the sample untouched.
        const TaskInfo expected = readable ? kFirstRead : TaskInfo{-9, -9, -9, -9, -9, -9};
        EXPECT_EQ(sample.virtualBytes, expected.virtualBytes);
        EXPECT_EQ(sample.pageFaults, expected.pageFaults);
        EXPECT_EQ(sample.pageIns, expected.pageIns);
        EXPECT_EQ(sample.cowFaults, expected.cowFaults);
        EXPECT_EQ(sample.threadCount, expected.threadCount);
    }
}

// The system provider on a fixture tree: a kernel thread has no footprint lines and falls back
// to the resident size from stat; a zombie or a vanished PID fails.
TEST(SamplerFixture, KernelThreadsFallBackAndZombiesFail) {
    ProcFixture proc;
    const int64_t page = sysconf(_SC_PAGESIZE);
    proc.AddFile(2, "stat", StatLine(2, "kthreadd", "S", {{23, "0"}, {24, "3"}}));
    proc.AddFile(2, "status", "Name:\tkthreadd\nUid:\t0\t0\t0\t0\nThreads:\t1\n");
    proc.AddFile(3, "stat", StatLine(3, "app", "S"));  // no status file at all
    proc.AddFile(4, "stat", StatLine(4, "app (old)", "S"));
    proc.AddFile(4, "status", "RssAnon:\t2048 kB\nVmPTE:\t64 kB\nVmSwap:\t1024 kB\n");
    proc.AddFile(5, "stat", StatLine(5, "gone", "Z"));
    proc.AddFile(5, "status", "RssAnon:\t2048 kB\n");
    struct Case {
        int32_t pid;
        bool readable;
        int64_t footprint;
    };
    const Case cases[] = {{2, true, 3 * page}, {3, true, 1024 * page}, {4, true, 3136 * 1024},
                          {5, false, 0}, {6, false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pid);
        MemorySample sample;
        ASSERT_EQ(ReadMemorySample(c.pid, sample), c.readable);
        EXPECT_EQ(sample.footprintBytes, c.footprint);
    }
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(4, sample, 1022));
    EXPECT_EQ(sample.virtualBytes, 1023);
    EXPECT_EQ(sample.pageFaults, 1010 + 1012);
    EXPECT_EQ(sample.pageIns, 1012);
    EXPECT_EQ(sample.cowFaults, 0);
    EXPECT_EQ(sample.threadCount, 1020);
}

// --- Real processes ----------------------------------------------------------------------------

TEST(SamplerLive, OwnProcessReadsSaneValues) {
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(getpid(), sample));
    EXPECT_GT(sample.footprintBytes, 0);
    EXPECT_GE(sample.virtualBytes, sample.footprintBytes);
    EXPECT_GE(sample.threadCount, 1);
    EXPECT_GT(sample.pageFaults, 0);
    EXPECT_LE(sample.pageIns, sample.pageFaults);
    EXPECT_EQ(sample.cowFaults, 0);
}

TEST(SamplerLive, FootprintFollowsMemoryTheChildTouches) {
    // 64 MB plus a margin: the kernel's per-CPU resident counters may lag a few hundred kB.
    constexpr size_t kTouched = 65 * kMB;
    ChildProcess child([](int fromParent, int toParent) {
        ChildProcess::Tell(toParent);
        ChildProcess::Await(fromParent);
        auto* memory = static_cast<char*>(
            mmap(nullptr, kTouched, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (memory == MAP_FAILED) _exit(1);
        for (size_t offset = 0; offset < kTouched; offset += 4096) memory[offset] = 1;
        ChildProcess::Tell(toParent);
        ChildProcess::Await(fromParent);
    });
    ASSERT_TRUE(child.Receive());
    MemorySample before, after;
    ASSERT_TRUE(ReadMemorySample(child.Pid(), before));
    ASSERT_TRUE(child.Send());
    ASSERT_TRUE(child.Receive());
    ASSERT_TRUE(ReadMemorySample(child.Pid(), after));
    EXPECT_GE(after.footprintBytes - before.footprintBytes, 64 * kMB);
    EXPECT_GE(after.virtualBytes - before.virtualBytes, 64 * kMB);
    EXPECT_GE(after.pageFaults - before.pageFaults, 64 * kMB / 4096 / 512);  // even with huge pages
}

TEST(SamplerLive, ThreadCountOfAChildWithExtraThreads) {
    ChildProcess child([](int fromParent, int toParent) {
        static int release = fromParent;
        pthread_t threads[3];
        for (pthread_t& thread : threads)
            pthread_create(&thread, nullptr, [](void*) -> void* {
                ChildProcess::Await(release);  // every thread blocks on the same pipe
                return nullptr;
            }, nullptr);
        ChildProcess::Tell(toParent);
        ChildProcess::Await(fromParent);
    });
    ASSERT_TRUE(child.Receive());
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(child.Pid(), sample));
    EXPECT_EQ(sample.threadCount, 4);
}

// Exited processes are gone whether or not their parent has collected them yet.
TEST(SamplerLive, ExitedChildrenCannotBeRead) {
    ChildProcess child([](int fromParent, int) { ChildProcess::Await(fromParent); });
    const pid_t pid = child.Pid();
    const uint64_t started = ProcessStartTime(pid);
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(pid, sample, started)) << "alive";
    child.Send();
    ASSERT_TRUE(child.WaitUntilExited());
    EXPECT_FALSE(ReadMemorySample(pid, sample)) << "zombie";
    EXPECT_FALSE(ReadMemorySample(pid, sample, started)) << "zombie";
    child.Reap();
    EXPECT_FALSE(ReadMemorySample(pid, sample)) << "reaped";
}

TEST(SamplerLive, StartTimeMustMatchWhenGiven) {
    const uint64_t started = ProcessStartTime(getpid());
    ASSERT_GT(started, 0u);
    MemorySample sample;
    EXPECT_TRUE(ReadMemorySample(getpid(), sample, started));
    EXPECT_FALSE(ReadMemorySample(getpid(), sample, started + 1));
    EXPECT_FALSE(ReadMemorySample(getpid(), sample, started - 1));
    EXPECT_TRUE(ReadMemorySample(getpid(), sample, 0)) << "0 does not check";
}

TEST(SamplerLive, InitReadsWhenRunningAsRoot) {
    if (geteuid() != 0) GTEST_SKIP() << "another user's process needs root";
    MemorySample sample;
    ASSERT_TRUE(ReadMemorySample(1, sample));
    EXPECT_GE(sample.threadCount, 1);
    EXPECT_GT(sample.virtualBytes, 0);
}

TEST(SamplerLive, ReadingAllocatesNothing) {
    ChildProcess child([](int fromParent, int toParent) {
        ChildProcess::Tell(toParent);
        ChildProcess::Await(fromParent);
    });
    ASSERT_TRUE(child.Receive());
    const uint64_t started = ProcessStartTime(child.Pid());
    MemorySample self, other, gone;
    bool readSelf = false, readOther = false, readGone = true;
    int allocations = AllocationsDuring([&] {
        readSelf = ReadMemorySample(getpid(), self);
        readOther = ReadMemorySample(child.Pid(), other, started);
        readGone = ReadMemorySample(999999999, gone);
    });
    EXPECT_TRUE(readSelf);
    EXPECT_TRUE(readOther);
    EXPECT_FALSE(readGone);
    EXPECT_EQ(allocations, 0);
    // The counter itself is live: an allocation in the counted stretch is seen.
    EXPECT_EQ(AllocationsDuring([] {
                  void* volatile memory = ::operator new(16);  // a call, not an elidable new
                  ::operator delete(memory);
              }),
              1);
}

// --- Megabytes ---------------------------------------------------------------------------------

TEST(SamplerMegabytes, OneRoundingFromTheDoubleProduct) {
    struct Case {
        int64_t bytes;
        float mb;
    };
    const Case cases[] = {
        {1048576, 1.0f},
        {0, 0.0f},
        {1572864, 1.5f},  // not an integer division
        {-1048576, -1.0f},
        {524288, 0.5f},
        // 2^60 + 2^36 + 1: rounding the count straight to float gives 2^40 + 2^17 MB; the double
        // product rounds to 2^40 + 2^16 first, a tie that then rounds to even, 2^40.
        {(int64_t(1) << 60) + (int64_t(1) << 36) + 1, 1099511627776.0f},
    };
    for (const Case& c : cases) EXPECT_EQ(BytesToMB(c.bytes), c.mb) << c.bytes;
    EXPECT_NE(BytesToMB((int64_t(1) << 60) + (int64_t(1) << 36) + 1),
              float((int64_t(1) << 60) + (int64_t(1) << 36) + 1) / 1048576.0f);
}
