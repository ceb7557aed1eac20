// The shared region between the preloaded allocation sampler (libquolk-heap.so) and the recorder
// that reads it: a memfd the recorder creates and the command inherits. The library writes, the
// recorder only reads, both without locks. This header is all the two sides share; it holds no
// code, so the library links nothing of the recorder's.
//
// Layout: the header, then the stack index (open addressing, stack hash -> record number), then
// the stack records in the order they were made, then the frames of every stack, one after another.
// The memfd is sparse: only the pages touched hold memory, and records and frames are filled from
// the front.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

inline constexpr uint64_t HeapRegionMagic = 0x31504145484b4c51ull;  // "QLKHEAP1"
inline constexpr uint32_t HeapRegionVersion = 1;
inline constexpr uint32_t HeapMaxFrames = 64;
inline constexpr uint32_t HeapStackCapacity = 32768;
inline constexpr uint32_t HeapIndexCapacity = 65536;  // a power of two, twice the records
inline constexpr uint64_t HeapFrameWordCapacity = uint64_t(HeapStackCapacity) * 24;
// Counts are estimates with a fraction: they are kept multiplied by this.
inline constexpr int64_t HeapCountScale = 65536;
inline constexpr int64_t HeapDefaultSampleBytes = 512 * 1024;

// What the library finds in the command's environment.
inline constexpr const char* HeapFdVariable = "QUOLK_HEAP_FD";
inline constexpr const char* HeapSampleBytesVariable = "QUOLK_HEAP_SAMPLE_BYTES";

static_assert(std::atomic<uint64_t>::is_always_lock_free, "the region is shared between processes");

struct HeapRegionHeader {
    uint64_t magic{};
    uint32_t version{};
    uint32_t stackCapacity{};
    uint32_t indexCapacity{};
    uint32_t maxFrames{};
    uint64_t frameWordCapacity{};
    // 0 until a process of the command takes the region; then its PID. Only that process writes.
    std::atomic<int32_t> ownerPid{};
    // Raised when the owner executes a new program: the figures of the old one were cleared.
    std::atomic<uint32_t> generation{};
    std::atomic<int64_t> sampleBytes{};
    // Records handed out; may run past the capacity when the table is full (read it clamped).
    std::atomic<uint32_t> stackCount{};
    std::atomic<uint64_t> frameWordsUsed{};
    std::atomic<uint64_t> samples{};
    // Sampled allocations that could not be kept: stack table or live-pointer table full.
    std::atomic<uint64_t> droppedSamples{};
};

enum HeapStackState : uint32_t {
    HeapStackWriting = 0,    // reserved, frames being written
    HeapStackPublished = 1,  // in the index; frames final
    HeapStackAbandoned = 2,  // another thread published the same stack first
};

// One allocation stack and its estimated figures. The figures change under a sequence counter:
// odd while a writer updates them, so a reader that sees the same even value before and after
// reading has a consistent record.
struct alignas(64) HeapStackRecord {
    std::atomic<uint64_t> hash{};
    std::atomic<uint32_t> state{};
    uint32_t frameCount{};
    uint64_t frameOffset{};  // in words, into the frames area
    std::atomic<uint64_t> sequence{};
    std::atomic<int64_t> liveBytes{};
    std::atomic<int64_t> liveCount{};       // times HeapCountScale
    std::atomic<int64_t> allocatedBytes{};  // every sampled allocation's estimate, freed or not
};

inline constexpr size_t HeapHeaderBytes = 4096;
inline constexpr size_t HeapIndexOffset = HeapHeaderBytes;
inline constexpr size_t HeapRecordsOffset = HeapIndexOffset + size_t(HeapIndexCapacity) * 8;
inline constexpr size_t HeapFramesOffset =
    HeapRecordsOffset + size_t(HeapStackCapacity) * sizeof(HeapStackRecord);
inline constexpr size_t HeapRegionBytes = HeapFramesOffset + size_t(HeapFrameWordCapacity) * 8;

static_assert(sizeof(HeapRegionHeader) <= HeapHeaderBytes);
static_assert((HeapIndexCapacity & (HeapIndexCapacity - 1)) == 0);

// An index entry: the hash's upper half (never zero) over the record number; 0 is a free entry.
inline std::atomic<uint64_t>* HeapIndex(HeapRegionHeader* region) {
    return reinterpret_cast<std::atomic<uint64_t>*>(reinterpret_cast<char*>(region) + HeapIndexOffset);
}
inline HeapStackRecord* HeapRecords(HeapRegionHeader* region) {
    return reinterpret_cast<HeapStackRecord*>(reinterpret_cast<char*>(region) + HeapRecordsOffset);
}
inline uint64_t* HeapFrames(HeapRegionHeader* region) {
    return reinterpret_cast<uint64_t*>(reinterpret_cast<char*>(region) + HeapFramesOffset);
}

// Fills a new region's header; the rest of a fresh memfd is zero already.
inline void InitHeapRegion(HeapRegionHeader* region) {
    region->magic = HeapRegionMagic;
    region->version = HeapRegionVersion;
    region->stackCapacity = HeapStackCapacity;
    region->indexCapacity = HeapIndexCapacity;
    region->maxFrames = HeapMaxFrames;
    region->frameWordCapacity = HeapFrameWordCapacity;
}

// True when a mapped region was made by a recorder of this very layout.
inline bool IsHeapRegion(const HeapRegionHeader* region) {
    return region->magic == HeapRegionMagic && region->version == HeapRegionVersion &&
           region->stackCapacity == HeapStackCapacity && region->indexCapacity == HeapIndexCapacity &&
           region->maxFrames == HeapMaxFrames && region->frameWordCapacity == HeapFrameWordCapacity;
}

// Reads a record's figures as one consistent set; false when writers kept it busy meanwhile.
inline bool ReadStackFigures(const HeapStackRecord& record, int64_t& liveBytes, int64_t& liveCount,
                             int64_t& allocatedBytes) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        uint64_t before = record.sequence.load(std::memory_order_acquire);
        if (before & 1) continue;
        liveBytes = record.liveBytes.load(std::memory_order_relaxed);
        liveCount = record.liveCount.load(std::memory_order_relaxed);
        allocatedBytes = record.allocatedBytes.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (record.sequence.load(std::memory_order_relaxed) == before) return true;
    }
    return false;
}
