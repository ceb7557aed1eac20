// The library's side of the shared region: taking it, finding or adding a stack, and changing a
// stack's figures under its sequence counter. No allocation and no lock: it runs inside malloc.
#pragma once

#include <cstdint>

#include "heap/heap_region.h"

enum class RegionClaim {
    Claimed,    // the first process of the command: the region is its own
    Restarted,  // its owner executed a new program: old figures cleared, generation raised
    Refused,    // another process owns it (a child of the command): report nothing
};
RegionClaim ClaimRegion(HeapRegionHeader* region, int32_t pid);

// The record number of the stack, added when new; -1 when the tables are full.
int32_t FindOrAddStack(HeapRegionHeader* region, const uint64_t* frames, uint32_t count);

// Adds the changes to a stack's figures as one update that readers see whole.
void AddToStack(HeapRegionHeader* region, int32_t record, int64_t liveBytes, int64_t liveCount,
                int64_t allocatedBytes);
