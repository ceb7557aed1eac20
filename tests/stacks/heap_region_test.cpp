// The region's protocol between the library's writer and the recorder's reader, in one process:
// who may write, figures never read half-updated, the live-pointer table past its first level,
// and the reader's bounded history and ranking.
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "heap/live_table.h"
#include "heap/region_writer.h"
#include "monitor/sample_history.h"
#include "stacks/heap_stacks.h"

namespace {

struct Region {
    HeapRegion region;
    Region() {
        std::string error;
        EXPECT_TRUE(CreateHeapRegion(region, error)) << error;
    }
    ~Region() { CloseHeapRegion(region); }
    HeapRegionHeader* operator->() { return region.header; }
};

TEST(HeapRegion, OnlyTheFirstProcessWritesAndAnExecClearsItsFigures) {
    Region r;
    uint64_t frames[] = {1, 2, 3};
    struct Step {
        int32_t pid;
        RegionClaim claim;
        uint32_t generation;
    } steps[] = {{100, RegionClaim::Claimed, 0}, {101, RegionClaim::Refused, 0}, {100, RegionClaim::Restarted, 1}};
    int32_t stack = -1;
    for (const Step& step : steps) {
        EXPECT_EQ(ClaimRegion(r.region.header, step.pid), step.claim);
        EXPECT_EQ(r->generation.load(), step.generation);
        if (step.claim == RegionClaim::Claimed) {
            stack = FindOrAddStack(r.region.header, frames, 3);
            AddToStack(r.region.header, stack, 4096, HeapCountScale, 4096);
        }
    }
    int64_t bytes = -1, count = -1, allocated = -1;
    ASSERT_TRUE(ReadStackFigures(HeapRecords(r.region.header)[stack], bytes, count, allocated));
    EXPECT_EQ(bytes, 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(allocated, 4096);  // what was allocated stays allocated
    EXPECT_EQ(ReadHeapStatus(r.region).pid, 100);
}

TEST(HeapRegion, ConcurrentWritersNeverShowAHalfUpdatedStack) {
    Region r;
    ClaimRegion(r.region.header, getpid());
    constexpr int Writers = 4, Updates = 20000;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int32_t> records[Writers];
    for (std::atomic<int32_t>& record : records) record = -1;
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w)
        writers.emplace_back([&, w] {
            uint64_t frames[] = {7, 8, 9};  // every writer adds to the same stack
            records[w] = FindOrAddStack(r.region.header, frames, 3);
            for (int i = 1; i <= Updates; ++i) AddToStack(r.region.header, records[w], 3 * i, i, 5 * i);
        });
    std::thread reader([&] {
        while (!done) {
            int64_t bytes, count, allocated;
            int32_t record = records[0].load();  // whichever writer published first owns the stack
            if (record >= 0 && ReadStackFigures(HeapRecords(r.region.header)[record], bytes, count, allocated) &&
                (bytes != 3 * count || allocated != 5 * count))
                ++torn;
        }
    });
    for (std::thread& writer : writers) writer.join();
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    ASSERT_GE(records[0].load(), 0);
    for (int w = 1; w < Writers; ++w) EXPECT_EQ(records[w].load(), records[0].load());  // one record, never two
    int64_t bytes, count, allocated;
    ASSERT_TRUE(ReadStackFigures(HeapRecords(r.region.header)[records[0]], bytes, count, allocated));
    EXPECT_EQ(count, int64_t(Writers) * Updates * (Updates + 1) / 2);
}

TEST(LiveTable, KeepsEveryPointerPastItsFirstLevelUntilForgotten) {
    constexpr uintptr_t Count = 100000;  // three times the first level's slots
    for (uintptr_t i = 1; i <= Count; ++i) ASSERT_TRUE(RememberSampled(i * 48, uint32_t(i % 5000), i * 3));
    uint32_t record = 0;
    uint64_t size = 0;
    EXPECT_FALSE(ForgetSampled(Count * 48 + 16, record, size));
    for (uintptr_t i = 1; i <= Count; ++i) {
        ASSERT_TRUE(ForgetSampled(i * 48, record, size)) << i;
        ASSERT_EQ(record, i % 5000);
        ASSERT_EQ(size, i * 3);
        ASSERT_FALSE(ForgetSampled(i * 48, record, size));
    }
    ForgetAllSampled();
}

// (Frames named and folded are the leak-site and the command line's stack tests'.)
TEST(StackHistory, KeepsItsLastColumnsAndRanksOnlyGrowth) {
    Region r;
    HeapRegionHeader* header = r.region.header;
    ClaimRegion(header, getpid());
    StackHistory history;
    uint64_t frames[] = {1, 2};
    const int32_t stack = FindOrAddStack(header, frames, 2), slower = FindOrAddStack(header, frames, 1);
    for (int64_t i = 0; i <= HistorySlotCount; ++i) {  // one column more than are kept
        AddToStack(header, stack, 1000, HeapCountScale, 1000);
        AddToStack(header, slower, 500, HeapCountScale, 500);
        TakeStackSnapshot(history, r.region);
    }
    ASSERT_EQ(int64_t(history.columns.size()), HistorySlotCount);
    const std::vector<StackGrowth> top = TopStacksByGrowth(history, 0, HistorySlotCount - 1, 5);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].stack, stack);
    EXPECT_EQ(top[0].startBytes, 2000);  // the first snapshot's column is gone
    EXPECT_EQ(top[0].endBytes, 1000.0 * double(HistorySlotCount + 1));
    EXPECT_EQ(top[0].endCount, double(HistorySlotCount + 1));
    TakeStackSnapshot(history, r.region);  // nothing changed since the last
    EXPECT_EQ(TopStacksByGrowth(history, HistorySlotCount - 2, HistorySlotCount - 1, 5).size(), 0u);
}

TEST(HeapEnvironment, PutsTheLibraryFirstAndReplacesOldSettings) {
    Region r;
    struct Case {
        std::vector<std::string> before;
        const char* library;
        std::vector<std::string> after;  // empty: refused
    } cases[] = {
        {{"LD_PRELOAD=/a.so:/b.so", "QUOLK_HEAP_SAMPLE_BYTES=1"}, "/lib/q.so",
         {"LD_PRELOAD=/lib/q.so /a.so:/b.so", "QUOLK_HEAP_FD=FD", "QUOLK_HEAP_SAMPLE_BYTES=4096"}},
        {{}, "/my libs/q.so", {}},
    };
    for (Case& c : cases) {
        std::string error;
        bool made = HeapEnvironment(r.region, c.library, 4096, c.before, error);
        EXPECT_EQ(made, !c.after.empty());
        if (!made) continue;
        for (std::string& entry : c.after)
            if (entry == "QUOLK_HEAP_FD=FD") entry = "QUOLK_HEAP_FD=" + std::to_string(r.region.fd);
        EXPECT_EQ(c.before, c.after);
    }
}

}  // namespace
