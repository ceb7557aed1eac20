#include "heap/live_table.h"

#include <sys/mman.h>

#include <atomic>

namespace {

constexpr int SlotsPerBucket = 8;
constexpr int FirstBucketBits = 12;  // 4,096 buckets: 512 KiB of address space, touched as used
constexpr int MaxLevels = 6;

struct Level {
    int bucketBits{};
    std::atomic<uint64_t>* keys{};
    std::atomic<uint64_t>* values{};  // record in the low 24 bits, size above
};

Level levels[MaxLevels];
std::atomic<int> levelCount{0};
std::atomic<bool> growing{false};

size_t LevelBytes(int bucketBits) { return (size_t(SlotsPerBucket) << bucketBits) * 8; }

std::atomic<uint64_t>* Bucket(std::atomic<uint64_t>* slots, int bucketBits, uintptr_t pointer) {
    uint64_t hash = (uint64_t(pointer) >> 4) * 0x9e3779b97f4a7c15ull;
    return slots + (hash >> (64 - bucketBits)) * SlotsPerBucket;
}

bool Insert(Level& level, uintptr_t pointer, uint64_t value) {
    std::atomic<uint64_t>* keys = Bucket(level.keys, level.bucketBits, pointer);
    for (int i = 0; i < SlotsPerBucket; ++i) {
        uint64_t empty = 0;
        if (keys[i].load(std::memory_order_relaxed) == 0 &&
            keys[i].compare_exchange_strong(empty, pointer, std::memory_order_acquire)) {
            // No one reads the value before this pointer is returned to the program and freed.
            level.values[&keys[i] - level.keys].store(value, std::memory_order_release);
            return true;
        }
    }
    return false;
}

// Adds a level four times the size of the last; false when none can be added.
bool Grow(int seenCount) {
    bool expected = false;
    if (!growing.compare_exchange_strong(expected, true, std::memory_order_acquire))
        return true;  // another thread is adding one: try the levels again
    bool added = false;
    if (levelCount.load(std::memory_order_acquire) == seenCount && seenCount < MaxLevels) {
        int bits = FirstBucketBits + 2 * seenCount;
        void* memory = mmap(nullptr, 2 * LevelBytes(bits), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (memory != MAP_FAILED) {
            Level& level = levels[seenCount];
            level.bucketBits = bits;
            level.keys = static_cast<std::atomic<uint64_t>*>(memory);
            level.values = level.keys + (size_t(SlotsPerBucket) << bits);
            levelCount.store(seenCount + 1, std::memory_order_release);
            added = true;
        }
    } else {
        added = levelCount.load(std::memory_order_acquire) > seenCount;
    }
    growing.store(false, std::memory_order_release);
    return added;
}

}  // namespace

std::atomic<uint16_t> livePageCounts[1 << LivePageCounterBits];

bool RememberSampled(uintptr_t pointer, uint32_t record, uint64_t size) {
    std::atomic<uint16_t>& pageCount = LivePageCount(pointer);
    if (size >= LiveMaxSize || record >= (1u << 24) || pageCount.load(std::memory_order_relaxed) == UINT16_MAX)
        return false;
    uint64_t value = (size << 24) | record;
    for (int attempt = 0; attempt < 2 * MaxLevels; ++attempt) {
        int count = levelCount.load(std::memory_order_acquire);
        for (int i = 0; i < count; ++i) {
            if (Insert(levels[i], pointer, value)) {
                pageCount.fetch_add(1, std::memory_order_relaxed);
                return true;
            }
        }
        if (!Grow(count)) return false;
    }
    return false;
}


bool ForgetSampled(uintptr_t pointer, uint32_t& record, uint64_t& size) {
    if (!MaybeSampled(pointer)) return false;
    int count = levelCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        Level& level = levels[i];
        std::atomic<uint64_t>* keys = Bucket(level.keys, level.bucketBits, pointer);
        for (int j = 0; j < SlotsPerBucket; ++j) {
            if (keys[j].load(std::memory_order_relaxed) != pointer) continue;
            // The value first: once the key is cleared, another thread may take the slot.
            uint64_t value = level.values[&keys[j] - level.keys].load(std::memory_order_acquire);
            uint64_t expected = pointer;
            if (!keys[j].compare_exchange_strong(expected, 0, std::memory_order_acq_rel)) return false;
            LivePageCount(pointer).fetch_sub(1, std::memory_order_relaxed);
            record = uint32_t(value & 0xffffff);
            size = value >> 24;
            return true;
        }
    }
    return false;
}

void ForgetAllSampled() {
    for (std::atomic<uint16_t>& pageCount : livePageCounts) pageCount.store(0, std::memory_order_relaxed);
    int count = levelCount.exchange(0, std::memory_order_acq_rel);
    for (int i = 0; i < count; ++i) {
        munmap(levels[i].keys, 2 * LevelBytes(levels[i].bucketBits));
        levels[i] = Level{};
    }
}
