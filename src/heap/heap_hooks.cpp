// libquolk-heap.so: preloaded into the command the recorder starts, it stands in for the C
// allocator's entry points, forwards every call to the next definition (the C library's), and
// samples the allocations by bytes: each thread counts down an exponentially drawn number of
// bytes (mean N) to its next sample, so an allocation of s bytes is sampled with probability
// 1 - exp(-s/N) and then stands for 1 / that many allocations of its size. A sampled allocation's
// stack and estimated figures go to the region the recorder shares; its free takes them off.
//
// Built without exceptions and RTTI, linking only the C library and libunwind: it must not
// allocate through anything that would call back into it, nor drag C++ run-time into the command.
#define UNW_LOCAL_ONLY
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <libunwind.h>
#include <link.h>
#include <pthread.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>

#include "heap/live_table.h"
#include "heap/region_writer.h"

#define HEAP_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using MallocFn = void* (*)(size_t);
using FreeFn = void (*)(void*);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
using MemalignFn = void* (*)(size_t, size_t);
using PosixMemalignFn = int (*)(void**, size_t, size_t);
using VallocFn = void* (*)(size_t);

// Until the next free is known, only the arena's blocks can be freed, and those stay.
void FreeNothing(void*) {}

struct NextAllocator {
    std::atomic<MallocFn> malloc{};
    FreeFn free{FreeNothing};
    CallocFn calloc{};
    ReallocFn realloc{};
    MemalignFn memalign{};
    MemalignFn alignedAlloc{};
    PosixMemalignFn posixMemalign{};
    VallocFn valloc{};
    VallocFn pvalloc{};
};
NextAllocator next;

// What the library does with samples: nothing yet (the region is not decided), report them, or
// never (no region, or not this process's).
enum State : int { Pending, Active, Off };
std::atomic<int> state{Pending};
HeapRegionHeader* region{};
int64_t sampleBytes = HeapDefaultSampleBytes;
uintptr_t ownCodeStart{}, ownCodeEnd{};

struct ThreadState {
    int64_t untilSample;  // bytes left before the next sample; at or below 0 the slow path runs
    uint64_t random;
    bool started;
    bool inHook;  // the unwinder's own allocations and frees go straight through
};
thread_local ThreadState local __attribute__((tls_model("initial-exec"))) = {};

// --- Start-up: the next allocator, found while dlsym's own allocations come from a small arena ---

constexpr size_t BootstrapBytes = 64 * 1024;
alignas(64) char bootstrap[BootstrapBytes];
std::atomic<size_t> bootstrapUsed{0};

bool IsBootstrap(void* pointer) {
    return pointer >= static_cast<void*>(bootstrap) && pointer < static_cast<void*>(bootstrap + BootstrapBytes);
}

// Blocks carry their size in the 16 bytes before them, for realloc. The arena's pages count as
// holding sampled blocks, so that free looks before handing one of its blocks on.
std::atomic<bool> bootstrapMarked{false};

void MarkBootstrapPages() {
    for (size_t page = 0; page <= BootstrapBytes; page += 4096)
        LivePageCount(reinterpret_cast<uintptr_t>(bootstrap) + page).fetch_add(1);
}

void* BootstrapAllocate(size_t size, size_t alignment = 16) {
    if (!bootstrapMarked.exchange(true)) MarkBootstrapPages();
    if (alignment < 16) alignment = 16;
    size_t need = (size + 15) / 16 * 16 + 16 + alignment;
    size_t start = bootstrapUsed.fetch_add(need);
    if (start + need > BootstrapBytes) return nullptr;
    uintptr_t block = (reinterpret_cast<uintptr_t>(bootstrap) + start + 16 + alignment - 1) & ~(alignment - 1);
    *reinterpret_cast<size_t*>(block - 16) = size;
    return reinterpret_cast<void*>(block);
}

std::atomic<int> resolveState{0};  // 0 not yet, 1 under way, 2 done
thread_local bool resolving __attribute__((tls_model("initial-exec"))) = false;

template <typename T>
T Next(const char* name) {
    return reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

// False while this very thread is finding them (its allocations then come from the arena).
bool Resolve() {
    if (resolveState.load(std::memory_order_acquire) == 2) return true;
    if (resolving) return false;
    int expected = 0;
    if (resolveState.compare_exchange_strong(expected, 1)) {
        resolving = true;
        next.free = Next<FreeFn>("free");
        next.calloc = Next<CallocFn>("calloc");
        next.realloc = Next<ReallocFn>("realloc");
        next.memalign = Next<MemalignFn>("memalign");
        next.alignedAlloc = Next<MemalignFn>("aligned_alloc");
        next.posixMemalign = Next<PosixMemalignFn>("posix_memalign");
        next.valloc = Next<VallocFn>("valloc");
        next.pvalloc = Next<VallocFn>("pvalloc");
        next.malloc.store(Next<MallocFn>("malloc"), std::memory_order_release);
        resolving = false;
        resolveState.store(2, std::memory_order_release);
        return true;
    }
    while (resolveState.load(std::memory_order_acquire) != 2) sched_yield();
    return true;
}

// --- Sampling -----------------------------------------------------------------------------------

double Uniform(ThreadState& t) {
    // xorshift64*: cheap, and good enough to draw sampling distances.
    t.random ^= t.random >> 12;
    t.random ^= t.random << 25;
    t.random ^= t.random >> 27;
    return double((t.random * 0x2545f4914f6cdd1dull) >> 11) * (1.0 / 9007199254740992.0);
}

int64_t DrawDistance(ThreadState& t) {
    double u = Uniform(t);
    return int64_t(-std::log(1.0 - u) * double(sampleBytes)) + 1;
}

double Weight(size_t size) { return 1.0 / -std::expm1(-double(size) / double(sampleBytes)); }
int64_t EstimatedBytes(size_t size) { return std::llround(double(size) * Weight(size)); }
int64_t EstimatedCount(size_t size) { return std::llround(Weight(size) * double(HeapCountScale)); }

bool IsOwnCode(void* address) {
    uintptr_t a = reinterpret_cast<uintptr_t>(address);
    return a >= ownCodeStart && a < ownCodeEnd;
}

void Record(void* pointer, size_t size) {
    void* raw[HeapMaxFrames + 8];
    int n = unw_backtrace(raw, HeapMaxFrames + 8);
    int first = 0;
    while (first < n && IsOwnCode(raw[first])) ++first;
    uint64_t frames[HeapMaxFrames];
    uint32_t count = 0;
    for (int i = first; i < n && count < HeapMaxFrames; ++i) frames[count++] = reinterpret_cast<uintptr_t>(raw[i]);
    region->samples.fetch_add(1, std::memory_order_relaxed);
    int32_t stack = FindOrAddStack(region, frames, count);
    if (stack < 0 || !RememberSampled(reinterpret_cast<uintptr_t>(pointer), uint32_t(stack), size)) {
        region->droppedSamples.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    int64_t bytes = EstimatedBytes(size);
    AddToStack(region, stack, bytes, EstimatedCount(size), bytes);
}

// The slow path of an allocation whose size took the thread's countdown to zero or below.
__attribute__((noinline)) void CountdownEnded(void* pointer, size_t size) {
    ThreadState& t = local;
    if (t.inHook) return;
    int current = state.load(std::memory_order_acquire);
    if (current != Active) {
        // Until the region is decided, look again now and then; without one, never.
        t.untilSample = current == Off ? INT64_MAX / 2 : 64 * 1024;
        return;
    }
    if (!t.started) {
        t.started = true;
        t.random = uint64_t(reinterpret_cast<uintptr_t>(&t)) * 0x9e3779b97f4a7c15ull ^ uint64_t(clock());
        if (!t.random) t.random = 1;
        t.untilSample = DrawDistance(t) - int64_t(size);
        if (t.untilSample > 0) return;
    }
    t.untilSample = DrawDistance(t);
    if (!pointer) return;  // a failed allocation holds nothing
    t.inHook = true;
    Record(pointer, size);
    t.inHook = false;
}

inline void* Counted(void* pointer, size_t size) {
    ThreadState& t = local;
    t.untilSample -= int64_t(size);
    if (__builtin_expect(t.untilSample <= 0, 0)) CountdownEnded(pointer, size);
    return pointer;
}

void TakeOff(uint32_t stack, uint64_t size) {
    AddToStack(region, int32_t(stack), -EstimatedBytes(size), -EstimatedCount(size), 0);
}

// Takes a sampled block's figures off its stack; the caller then hands it to the next free.
void Forget(void* pointer) {
    uint32_t stack;
    uint64_t size;
    if (ForgetSampled(reinterpret_cast<uintptr_t>(pointer), stack, size)) TakeOff(stack, size);
}

// --- Attaching to the recorder's region -----------------------------------------------------------

int FindOwnCode(dl_phdr_info* info, size_t, void*) {
    uintptr_t marker = reinterpret_cast<uintptr_t>(&FindOwnCode);
    uintptr_t low = UINTPTR_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type != PT_LOAD) continue;
        uintptr_t start = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
        if (start < low) low = start;
        if (start + info->dlpi_phdr[i].p_memsz > high) high = start + info->dlpi_phdr[i].p_memsz;
    }
    if (marker < low || marker >= high) return 0;
    ownCodeStart = low;
    ownCodeEnd = high;
    return 1;
}

// The region named by the environment, when it is one and this process may write it.
HeapRegionHeader* AttachRegion() {
    const char* fdText = getenv(HeapFdVariable);
    if (!fdText || !*fdText) return nullptr;
    char* end = nullptr;
    long fd = strtol(fdText, &end, 10);
    if (*end || fd < 0) return nullptr;
    // Only a memfd of the region's size: an inherited number may name anything by now.
    struct stat status;
    if (fcntl(int(fd), F_GET_SEALS) < 0 || fstat(int(fd), &status) != 0 ||
        size_t(status.st_size) != HeapRegionBytes)
        return nullptr;
    void* memory = mmap(nullptr, HeapRegionBytes, PROT_READ | PROT_WRITE, MAP_SHARED, int(fd), 0);
    if (memory == MAP_FAILED) return nullptr;
    auto* header = static_cast<HeapRegionHeader*>(memory);
    if (!IsHeapRegion(header) || ClaimRegion(header, int32_t(getpid())) == RegionClaim::Refused) {
        munmap(memory, HeapRegionBytes);
        return nullptr;
    }
    return header;
}

// A forked child is not the process the recorder watches: it reports nothing.
void ForkedChild() {
    state.store(Off, std::memory_order_release);
    if (region) munmap(region, HeapRegionBytes);
    region = nullptr;
    ForgetAllSampled();
    if (bootstrapMarked) MarkBootstrapPages();
}

__attribute__((constructor)) void StartHeapSampler() {
    Resolve();
    local.inHook = true;  // the set-up's own allocations are not the program's
    if (const char* text = getenv(HeapSampleBytesVariable)) {
        long long value = strtoll(text, nullptr, 10);
        if (value > 0) sampleBytes = value;
    }
    dl_iterate_phdr(FindOwnCode, nullptr);
    unw_set_caching_policy(unw_local_addr_space, UNW_CACHE_PER_THREAD);
    region = AttachRegion();
    if (region) {
        region->sampleBytes.store(sampleBytes, std::memory_order_relaxed);
        pthread_atfork(nullptr, nullptr, ForkedChild);
    }
    local.inHook = false;
    state.store(region ? Active : Off, std::memory_order_release);
}

inline bool Ready() {
    return next.malloc.load(std::memory_order_acquire) || Resolve();
}

}  // namespace

// --- The interposed entry points ------------------------------------------------------------------

// The common case, no sample due, ends in a jump to the next malloc; the rest is out of line.
__attribute__((noinline)) static void* MallocSlowly(size_t size) {
    if (!Ready()) return BootstrapAllocate(size);
    void* pointer = next.malloc.load(std::memory_order_relaxed)(size);
    if (local.untilSample <= 0) CountdownEnded(pointer, size);
    return pointer;
}

HEAP_EXPORT void* malloc(size_t size) {
    MallocFn nextMalloc = next.malloc.load(std::memory_order_acquire);
    if (__builtin_expect(nextMalloc != nullptr, 1) && (local.untilSample -= int64_t(size)) > 0)
        return nextMalloc(size);
    return MallocSlowly(size);
}

// Only a block whose page holds a sampled one (about N / 4 KiB of them) looks further.
__attribute__((noinline)) static void FreeSlowly(void* pointer) {
    if (IsBootstrap(pointer)) return;
    Forget(pointer);
    next.free(pointer);
}

HEAP_EXPORT void free(void* pointer) {
    if (__builtin_expect(MaybeSampled(reinterpret_cast<uintptr_t>(pointer)), 0)) return FreeSlowly(pointer);
    next.free(pointer);
}

HEAP_EXPORT void* calloc(size_t count, size_t size) {
    size_t bytes;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    if (__builtin_expect(!Ready(), 0)) {
        void* block = BootstrapAllocate(bytes);
        if (block) memset(block, 0, bytes);  // the arena's memory may have been used before
        return block;
    }
    return Counted(next.calloc(count, size), bytes);
}

HEAP_EXPORT void* realloc(void* pointer, size_t size) {
    if (IsBootstrap(pointer)) {
        void* moved = malloc(size);
        size_t old = *reinterpret_cast<size_t*>(static_cast<char*>(pointer) - 16);
        if (moved) memcpy(moved, pointer, old < size ? old : size);
        return moved;
    }
    if (!pointer) return malloc(size);
    if (__builtin_expect(!Ready(), 0)) return nullptr;
    // Off the books before the block may move: once freed, another thread may get its address.
    uint32_t stack = 0;
    uint64_t oldSize = 0;
    bool wasSampled = state.load(std::memory_order_relaxed) == Active &&
                      ForgetSampled(reinterpret_cast<uintptr_t>(pointer), stack, oldSize);
    void* moved = next.realloc(pointer, size);
    if (!moved && size != 0) {
        // The old block is still the program's: back on the books as it was, where there is room.
        if (wasSampled && !RememberSampled(reinterpret_cast<uintptr_t>(pointer), stack, oldSize))
            TakeOff(stack, oldSize);
        return moved;
    }
    if (wasSampled) TakeOff(stack, oldSize);
    // A grown block counts as a new allocation of its new size.
    return moved ? Counted(moved, size) : moved;
}

HEAP_EXPORT void* reallocarray(void* pointer, size_t count, size_t size) {
    size_t bytes;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(pointer, bytes);
}

HEAP_EXPORT int posix_memalign(void** result, size_t alignment, size_t size) {
    if (__builtin_expect(!Ready(), 0)) {
        *result = BootstrapAllocate(size, alignment);
        return *result ? 0 : ENOMEM;
    }
    int error = next.posixMemalign(result, alignment, size);
    if (error == 0) Counted(*result, size);
    return error;
}

HEAP_EXPORT void* aligned_alloc(size_t alignment, size_t size) {
    if (__builtin_expect(!Ready(), 0)) return BootstrapAllocate(size, alignment);
    return Counted(next.alignedAlloc(alignment, size), size);
}

HEAP_EXPORT void* memalign(size_t alignment, size_t size) {
    if (__builtin_expect(!Ready(), 0)) return BootstrapAllocate(size, alignment);
    return Counted(next.memalign(alignment, size), size);
}

HEAP_EXPORT void* valloc(size_t size) {
    if (__builtin_expect(!Ready(), 0)) return BootstrapAllocate(size, 4096);
    return Counted(next.valloc(size), size);
}

HEAP_EXPORT void* pvalloc(size_t size) {
    size_t page = size_t(sysconf(_SC_PAGESIZE));
    size_t rounded = (size + page - 1) / page * page;
    if (__builtin_expect(!Ready(), 0)) return BootstrapAllocate(rounded, page);
    return Counted(next.pvalloc(size), rounded);
}
