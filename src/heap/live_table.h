// The live sampled pointers of the process: for each, the stack it was counted on and its size,
// so that its free takes exactly that off again. Lock-free: every free looks here.
//
// In front of it, a count of live sampled pointers per page (pages hashed into 64 Ki counters):
// most frees find their page's count zero in a line the cache holds anyway, and go no further.
// Each pointer has one bucket of eight slots per level, one cache line of keys; a lookup reads
// that line in each level, so a free costs one or two cache lines whatever the table holds. A
// bucket that is full sends the pointer to the next level, four times larger, made when needed.
#pragma once

#include <atomic>
#include <cstdint>

// Sizes from 2^40 bytes up are not kept (the slot packs the size beside the record).
inline constexpr uint64_t LiveMaxSize = uint64_t(1) << 40;

// False when the table has no room left (every level's bucket full, or no memory for a new one).
bool RememberSampled(uintptr_t pointer, uint32_t record, uint64_t size);
inline constexpr int LivePageCounterBits = 16;
extern std::atomic<uint16_t> livePageCounts[1 << LivePageCounterBits];

inline std::atomic<uint16_t>& LivePageCount(uintptr_t pointer) {
    return livePageCounts[(pointer >> 12) & ((1 << LivePageCounterBits) - 1)];
}
// False when no live sampled pointer shares the pointer's page counter: surely not sampled.
inline bool MaybeSampled(uintptr_t pointer) { return LivePageCount(pointer).load(std::memory_order_relaxed) != 0; }
// True, with what was remembered, when the pointer was sampled; its entry is gone then.
bool ForgetSampled(uintptr_t pointer, uint32_t& record, uint64_t& size);
// Empties the table and gives its memory back: a forked child starts with nothing sampled.
void ForgetAllSampled();
