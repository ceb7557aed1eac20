// A program with known allocation sites, for the allocation-stack tests:
//   heap_sites MODE THREADS SECONDS [PLUGIN]
// Each of THREADS threads fills its share of a 50 MB cache (kept), then, once a line "go" arrives
// on standard input, churns its share of 200 MB/s (allocated and freed at once) and leaks its
// share of 1 MB/s for SECONDS, in blocks of 16 B to 64 KiB. MODE says how it leaks:
//   leak     malloc                 none      nothing (the healthy variant)
//   realloc  growing buffers        plugin    malloc in PLUGIN, dlopen'ed, dlclose'd at the end
//   fork     malloc, after a forked child and an executed one allocated and ended
// It prints "ready" before the go, "leaked BYTES" after, then waits for a line "end" and exits
// with status 0 (3 in fork mode). Block sizes come from fixed seeds: the output is always the same.
//   heap_sites child         the executed child: allocates 4 MB and exits with status 5
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr size_t CacheBytes = 50u << 20;
constexpr size_t ChurnBytesPerSecond = 200u << 20;
constexpr size_t LeakBytesPerSecond = 1u << 20;
constexpr int SlicesPerSecond = 100;

std::atomic<int> kept{0};
char* keptBlocks[1 << 16];  // static: keeping them allocates nothing

void Keep(char* block, size_t size, int fill) {
    std::memset(block, fill, size);
    keptBlocks[kept++ & 0xffff] = block;
}

struct Random {
    uint64_t state;
    size_t BlockSize() {  // 16 B to 64 KiB
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return 16 + size_t(state >> 33) % (65536 - 16 + 1);
    }
};

__attribute__((noinline)) void FillCache(size_t size) {
    char* block = static_cast<char*>(std::malloc(size));  // site: cache
    Keep(block, size, 0x11);
}

__attribute__((noinline)) void Churn(size_t size) {
    char* block = static_cast<char*>(std::malloc(size));  // site: churn
    block[0] = 1;
    asm volatile("" : : "r"(block) : "memory");
    std::free(block);
}

__attribute__((noinline)) void LeakBlock(size_t size) {
    char* block = static_cast<char*>(std::malloc(size));  // site: leak
    Keep(block, size, 0x5a);
}

// Buffers that only grow: the leak is their growth.
struct Buffers {
    char* data[16]{};
    size_t size[16]{};
    int next{};
};
thread_local Buffers buffers;

__attribute__((noinline)) void GrowBuffer(size_t by) {
    Buffers& b = buffers;
    int i = b.next++ % 16;
    char* grown = static_cast<char*>(std::realloc(b.data[i], b.size[i] + by));  // site: realloc
    std::memset(grown + b.size[i], 0x5a, by);
    asm volatile("" : : "r"(grown) : "memory");
    b.data[i] = grown;
    b.size[i] += by;
}

using LeakFunction = void (*)(size_t);

struct Run {
    int threads{1};
    double seconds{2};
    LeakFunction leak{};
    std::atomic<int> filled{0};
    std::atomic<bool> go{false};
    std::atomic<size_t> leaked{0};
};

void Worker(Run& run, int index) {
    Random random{uint64_t(index) * 7919 + 17};
    for (size_t filled = 0; filled < CacheBytes / size_t(run.threads);) {
        size_t size = random.BlockSize();
        FillCache(size);
        filled += size;
    }
    ++run.filled;
    while (!run.go) usleep(1000);
    int slices = int(run.seconds * SlicesPerSecond);
    size_t leakTotal = size_t(run.seconds * LeakBytesPerSecond) / size_t(run.threads);
    size_t churnSlice = ChurnBytesPerSecond / SlicesPerSecond / size_t(run.threads);
    size_t leaked = 0;
    for (int slice = 1; slice <= slices; ++slice) {
        for (size_t churned = 0; churned < churnSlice;) {
            size_t size = random.BlockSize();
            Churn(size);
            churned += size;
        }
        for (size_t due = leakTotal * size_t(slice) / size_t(slices); run.leak && leaked < due;) {
            size_t size = std::min(random.BlockSize(), leakTotal - leaked);
            run.leak(size);
            leaked += size;
        }
        usleep(1000000 / SlicesPerSecond);
    }
    run.leaked += leaked;
}

__attribute__((noinline)) void ChildSite() {
    char* block = static_cast<char*>(std::malloc(4u << 20));
    Keep(block, 4u << 20, 0x33);
}

// A forked child and an executed one, both of which allocate; their statuses go to the output.
void RunChildren(const char* self) {
    pid_t forked = fork();
    if (forked == 0) {
        ChildSite();
        _exit(7);
    }
    pid_t executed = fork();
    if (executed == 0) {
        execl(self, self, "child", static_cast<char*>(nullptr));
        _exit(127);
    }
    int forkedStatus = 0, executedStatus = 0;
    waitpid(forked, &forkedStatus, 0);
    waitpid(executed, &executedStatus, 0);
    std::printf("forked child %d\nexecuted child %d\n", WEXITSTATUS(forkedStatus), WEXITSTATUS(executedStatus));
}

bool ReadLine(const char* expected) {
    char line[64];
    return std::fgets(line, sizeof line, stdin) && std::strncmp(line, expected, std::strlen(expected)) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "child") == 0) {
        ChildSite();
        return 5;
    }
    if (argc < 4) return 64;
    std::string mode = argv[1];
    static Run run;
    run.threads = std::max(1, std::atoi(argv[2]));
    run.seconds = std::atof(argv[3]);
    void* plugin = nullptr;
    if (mode == "leak" || mode == "fork") run.leak = LeakBlock;
    if (mode == "realloc") run.leak = GrowBuffer;
    if (mode == "plugin") {
        plugin = argc > 4 ? dlopen(argv[4], RTLD_NOW) : nullptr;
        if (!plugin) return 65;
        run.leak = reinterpret_cast<LeakFunction>(dlsym(plugin, "PluginLeak"));
    }
    if (mode == "fork") RunChildren(argv[0]);
    std::vector<std::thread> workers;
    for (int i = 0; i < run.threads; ++i) workers.emplace_back(Worker, std::ref(run), i);
    while (run.filled < run.threads) usleep(1000);
    std::printf("ready\n");
    std::fflush(stdout);
    if (!ReadLine("go")) return 66;
    run.go = true;
    for (std::thread& worker : workers) worker.join();
    if (plugin) dlclose(plugin);
    std::printf("leaked %zu\n", run.leaked.load());
    std::fflush(stdout);
    if (!ReadLine("end")) return 66;
    return mode == "fork" ? 3 : 0;
}
