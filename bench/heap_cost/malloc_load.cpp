// The cost benchmark's workload: allocation-heavy threads, timed from inside so that start-up is
// not counted.
//   malloc_load pairs THREADS PAIRS   each thread allocates and frees PAIRS blocks of mixed small
//                                     sizes through a ring of 256 live blocks
//   malloc_load grow THREADS COUNT    each thread allocates COUNT blocks of 16 B to 1 KiB and
//                                     keeps one in eight: the heap grows to about 260 MB per 4 M
// Prints "cpu SECONDS wall SECONDS heap BYTES rss KB" (rss: RssAnon + RssShmem at the end).
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<size_t> heldBytes{0};

size_t NextSize(uint64_t& state, size_t largest) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return 16 + size_t(state >> 33) % (largest - 15);
}

void Pairs(long count, int seed) {
    char* ring[256] = {};
    uint64_t state = uint64_t(seed) + 1;
    for (long i = 0; i < count; ++i) {
        char*& slot = ring[i & 255];
        std::free(slot);
        slot = static_cast<char*>(std::malloc(NextSize(state, 256)));
        slot[0] = char(i);
    }
    for (char* block : ring) std::free(block);
}

void Grow(long count, int seed) {
    uint64_t state = uint64_t(seed) + 1;
    std::vector<char*> kept;
    size_t held = 0;
    for (long i = 0; i < count; ++i) {
        size_t size = NextSize(state, 1024);
        char* block = static_cast<char*>(std::malloc(size));
        std::memset(block, int(i), size);
        if (i % 8 == 0) {
            kept.push_back(block);
            held += size;
        } else {
            std::free(block);
        }
    }
    heldBytes += held;
    static std::vector<std::vector<char*>> all;  // held to the end, never freed
    static std::atomic_flag busy = ATOMIC_FLAG_INIT;
    while (busy.test_and_set()) {}
    all.push_back(std::move(kept));
    busy.clear();
}

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    long total = 0;
    while (std::getline(status, line))
        if (line.starts_with("RssAnon:") || line.starts_with("RssShmem:")) total += std::atol(line.c_str() + 9);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 64;
    bool grow = std::strcmp(argv[1], "grow") == 0;
    int threads = std::atoi(argv[2]);
    long count = std::atol(argv[3]);
    double wall = Seconds(CLOCK_MONOTONIC), cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back(grow ? Grow : Pairs, count, i);
    for (std::thread& worker : workers) worker.join();
    std::printf("cpu %.3f wall %.3f heap %zu rss %ld\n", Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu,
                Seconds(CLOCK_MONOTONIC) - wall, heldBytes.load(), ResidentKb());
    return 0;
}
