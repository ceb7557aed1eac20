#include "heap/region_writer.h"

#include <sched.h>

namespace {

constexpr int MaxProbes = 64;

uint64_t HashFrames(const uint64_t* frames, uint32_t count) {
    uint64_t hash = 0xcbf29ce484222325ull ^ count;
    for (uint32_t i = 0; i < count; ++i) {
        hash ^= frames[i];
        hash *= 0x100000001b3ull;
        hash ^= hash >> 29;
    }
    return hash ? hash : 1;
}

// Takes the record's sequence counter to odd: the one writer of its figures until Unlock.
uint64_t Lock(HeapStackRecord& record) {
    uint64_t sequence = record.sequence.load(std::memory_order_relaxed);
    for (int spins = 0;; ++spins) {
        if (!(sequence & 1) &&
            record.sequence.compare_exchange_weak(sequence, sequence + 1, std::memory_order_acquire,
                                                  std::memory_order_relaxed))
            break;
        // The writer holding it was preempted: let it run rather than burn its time slice.
        if (spins > 100) sched_yield();
        sequence = record.sequence.load(std::memory_order_relaxed);
    }
    std::atomic_thread_fence(std::memory_order_release);
    return sequence;
}

void Unlock(HeapStackRecord& record, uint64_t sequence) {
    record.sequence.store(sequence + 2, std::memory_order_release);
}

// Reserves a record and room for its frames; the record stays HeapStackWriting until published.
int32_t MakeRecord(HeapRegionHeader* region, const uint64_t* frames, uint32_t count, uint64_t hash) {
    uint32_t number = region->stackCount.fetch_add(1, std::memory_order_relaxed);
    if (number >= HeapStackCapacity) return -1;
    HeapStackRecord& record = HeapRecords(region)[number];
    uint64_t offset = region->frameWordsUsed.fetch_add(count, std::memory_order_relaxed);
    if (offset + count > HeapFrameWordCapacity) {
        record.state.store(HeapStackAbandoned, std::memory_order_release);
        return -1;
    }
    uint64_t* words = HeapFrames(region) + offset;
    for (uint32_t i = 0; i < count; ++i) words[i] = frames[i];
    record.frameCount = count;
    record.frameOffset = offset;
    record.hash.store(hash, std::memory_order_release);
    return int32_t(number);
}

}  // namespace

RegionClaim ClaimRegion(HeapRegionHeader* region, int32_t pid) {
    int32_t owner = 0;
    if (region->ownerPid.compare_exchange_strong(owner, pid)) return RegionClaim::Claimed;
    if (owner != pid) return RegionClaim::Refused;
    // The owner executed a new program: the old program's heap is gone, and so are its figures.
    uint32_t count = region->stackCount.load(std::memory_order_acquire);
    if (count > HeapStackCapacity) count = HeapStackCapacity;
    for (uint32_t i = 0; i < count; ++i) {
        HeapStackRecord& record = HeapRecords(region)[i];
        uint64_t sequence = Lock(record);
        record.liveBytes.store(0, std::memory_order_relaxed);
        record.liveCount.store(0, std::memory_order_relaxed);
        Unlock(record, sequence);
    }
    region->generation.fetch_add(1, std::memory_order_release);
    return RegionClaim::Restarted;
}

int32_t FindOrAddStack(HeapRegionHeader* region, const uint64_t* frames, uint32_t count) {
    uint64_t hash = HashFrames(frames, count);
    uint64_t tag = (hash >> 32) | 1;
    std::atomic<uint64_t>* index = HeapIndex(region);
    HeapStackRecord* records = HeapRecords(region);
    uint32_t slot = uint32_t(hash) & (HeapIndexCapacity - 1);
    for (int probe = 0; probe < MaxProbes; ++probe, slot = (slot + 1) & (HeapIndexCapacity - 1)) {
        uint64_t entry = index[slot].load(std::memory_order_acquire);
        if (entry == 0) {
            int32_t made = MakeRecord(region, frames, count, hash);
            if (made < 0) return -1;
            if (index[slot].compare_exchange_strong(entry, (tag << 32) | uint32_t(made),
                                                    std::memory_order_acq_rel)) {
                records[made].state.store(HeapStackPublished, std::memory_order_release);
                return made;
            }
            // Another thread took the entry first, perhaps for this very stack: look at it below.
            records[made].state.store(HeapStackAbandoned, std::memory_order_release);
        }
        if ((entry >> 32) != tag) continue;
        uint32_t number = uint32_t(entry);
        if (records[number].hash.load(std::memory_order_acquire) == hash) return int32_t(number);
    }
    return -1;
}

void AddToStack(HeapRegionHeader* region, int32_t number, int64_t liveBytes, int64_t liveCount,
                int64_t allocatedBytes) {
    HeapStackRecord& record = HeapRecords(region)[number];
    uint64_t sequence = Lock(record);
    record.liveBytes.store(record.liveBytes.load(std::memory_order_relaxed) + liveBytes,
                           std::memory_order_relaxed);
    record.liveCount.store(record.liveCount.load(std::memory_order_relaxed) + liveCount,
                           std::memory_order_relaxed);
    record.allocatedBytes.store(record.allocatedBytes.load(std::memory_order_relaxed) + allocatedBytes,
                                std::memory_order_relaxed);
    Unlock(record, sequence);
}
