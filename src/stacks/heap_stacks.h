// The recorder's side of allocation stacks: the region it shares with libquolk-heap.so, the
// environment that preloads the library into the command, and each stack's live bytes over time,
// one column per monitoring tick, bounded like the footprint history.
//
// A recording with stacks: CreateHeapRegion; HeapEnvironment for the command (which must also
// inherit region.fd); at each tick, with the history point, TakeStackSnapshot; at the end
// TopStacksByGrowth over the analysed slots, then StackFrames (stack_symbols.h) for their frames
// and WriteFoldedStacks for every stack.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct HeapRegionHeader;

struct HeapRegion {
    int fd{-1};  // a memfd, closed on exec: the command's start must let it inherit this number
    HeapRegionHeader* header{};
};

// Creates and maps an empty region. False with the system's reason in error.
bool CreateHeapRegion(HeapRegion& region, std::string& error);
void CloseHeapRegion(HeapRegion& region);

// The command's environment: `environment` (NAME=value entries) with the library in front of any
// LD_PRELOAD and the region's descriptor and sampling mean added. False with the reason in error
// when the library's path cannot go into LD_PRELOAD (it splits paths at spaces and colons).
bool HeapEnvironment(const HeapRegion& region, const std::string& libraryPath, int64_t sampleBytes,
                     std::vector<std::string>& environment, std::string& error);

// Why the library could not be preloaded into an executable, known before starting it.
enum class PreloadBlocker { None, StaticallyLinked, SetId };
PreloadBlocker PreloadBlockerOf(const std::string& executablePath);

// What the library has told so far.
struct HeapStatus {
    bool attached{};        // a process of the command loaded the library and took the region
    pid_t pid{};            // that process
    uint32_t generation{};  // raised each time it executed a new program
    int64_t sampleBytes{};  // the mean distance between samples it uses
    uint64_t samples{};     // sampled allocations; 0: none seen through malloc yet
    uint64_t droppedSamples{};
};
HeapStatus ReadHeapStatus(const HeapRegion& region);

enum class StackAvailability { Ready, NeverAttached, NoMallocSeen };
StackAvailability StackAvailabilityOf(const HeapStatus& status);

// A stack as the library recorded it: return addresses, innermost first, the library's own
// frames already left out; and for each frame the module map it is named from (an index into
// StackHistory::moduleMaps; -1 where no map had it).
struct HeapStack {
    uint32_t record{};
    std::vector<uint64_t> frames;
    std::vector<int32_t> frameMaps;
};

struct StackFigures {
    float liveBytes{};
    float liveCount{};
};

// One column per tick; column i matches the footprint history's slot i. A column holds one entry
// per stack known at that tick (stacks are only ever added, so older columns are shorter).
struct StackHistory {
    std::vector<HeapStack> stacks;
    std::deque<std::vector<StackFigures>> columns;
    // The file-backed lines of /proc/PID/maps, read at each tick that brings new stacks and kept
    // when they changed. A new stack's frame is named from that tick's map, or from the one before
    // where the tick's map lacks it (a library unloaded since the allocation); a library unloaded
    // later is still found in the map its stacks first appeared with.
    std::vector<std::string> moduleMaps;
    std::vector<std::pair<uint64_t, uint64_t>> latestCode, previousCode;  // executable ranges
    std::vector<uint32_t> pendingRecords;                  // being written when last seen
    uint32_t nextRecord{};
    std::string procRoot{"/proc"};
};

// Appends a column with every stack's figures now; a full history drops its oldest column first.
void TakeStackSnapshot(StackHistory& history, const HeapRegion& region);

// A stack's figures in a column (zero where the stack was not known yet).
StackFigures FiguresAt(const StackHistory& history, int64_t slot, int32_t stack);
// Every stack's live bytes in a column: the sampled live heap at that tick.
double LiveBytesAt(const StackHistory& history, int64_t slot);

struct StackGrowth {
    int32_t stack{};  // index into StackHistory::stacks
    double startBytes{}, endBytes{};
    double startCount{}, endCount{};
    double growthBytes() const { return endBytes - startBytes; }
};

// The `count` stacks whose live bytes grew most from column `fromSlot` to `toSlot`, largest first;
// only stacks that grew.
std::vector<StackGrowth> TopStacksByGrowth(const StackHistory& history, int64_t fromSlot, int64_t toSlot,
                                           int64_t count);
