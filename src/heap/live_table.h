// The live sampled pointers of the process: for each, the stack it was counted on and its size,
// so that its free takes exactly that off again. Lock-free: every free looks here.
//
// Each pointer has one bucket of eight slots per level, one cache line of keys; a lookup reads
// that line in each level, so a free costs one or two cache lines whatever the table holds. A
// bucket that is full sends the pointer to the next level, four times larger, made when needed.
#pragma once

#include <cstdint>

// Sizes from 2^40 bytes up are not kept (the slot packs the size beside the record).
inline constexpr uint64_t LiveMaxSize = uint64_t(1) << 40;

// False when the table has no room left (every level's bucket full, or no memory for a new one).
bool RememberSampled(uintptr_t pointer, uint32_t record, uint64_t size);
// True, with what was remembered, when the pointer was sampled; its entry is gone then.
bool ForgetSampled(uintptr_t pointer, uint32_t& record, uint64_t& size);
// Empties the table and gives its memory back: a forked child starts with nothing sampled.
void ForgetAllSampled();
