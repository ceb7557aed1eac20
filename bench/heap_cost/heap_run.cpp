// Runs a command with libquolk-heap.so preloaded and its region read every 100 ms, as a recording
// with stacks does, then prints to standard error what the region held and the stacks whose live
// bytes grew most, with their frames. For the cost benchmark and for trying the sampler by hand.
//   heap_run LIBRARY SAMPLE_BYTES [FOLDED_FILE|-] -- COMMAND [ARG...]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stacks/heap_stacks.h"
#include "stacks/stack_symbols.h"

extern char** environ;

namespace {

void PrintTopStacks(const StackHistory& history) {
    StackSymbols symbols;
    int64_t last = int64_t(history.columns.size()) - 1;
    for (const StackGrowth& growth : TopStacksByGrowth(history, 0, last, 5)) {
        std::fprintf(stderr, "%+.2f MB (%.2f -> %.2f MB)\n", growth.growthBytes() / 1e6, growth.startBytes / 1e6,
                     growth.endBytes / 1e6);
        for (const StackFrame& frame : StackFrames(symbols, history, growth.stack)) {
            std::string where = frame.file.empty() ? TextToUtf8(frame.module) + "+" + std::to_string(frame.offset)
                                                   : TextToUtf8(frame.file) + ":" + std::to_string(frame.line);
            std::fprintf(stderr, "    %s  %s\n", TextToUtf8(frame.function).c_str(), where.c_str());
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    int separator = 1;
    while (separator < argc && std::strcmp(argv[separator], "--") != 0) ++separator;
    if (separator < 3 || separator + 1 >= argc) {
        std::fprintf(stderr, "usage: heap_run LIBRARY SAMPLE_BYTES [FOLDED_FILE|-] -- COMMAND [ARG...]\n");
        return 64;
    }
    HeapRegion region;
    std::string error;
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    if (!CreateHeapRegion(region, error) ||
        !HeapEnvironment(region, argv[1], std::atoll(argv[2]), environment, error)) {
        std::fprintf(stderr, "heap_run: %s\n", error.c_str());
        return 1;
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, region.fd, region.fd);
    pid_t pid = -1;
    if (int failed = posix_spawnp(&pid, argv[separator + 1], &files, nullptr, argv + separator + 1, envp.data())) {
        std::fprintf(stderr, "heap_run: %s\n", std::strerror(failed));
        return 1;
    }
    StackHistory history;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        TakeStackSnapshot(history, region);
        usleep(100000);
    }
    HeapStatus heap = ReadHeapStatus(region);
    static const char* const Availability[] = {"ready", "never attached", "no allocations seen through malloc"};
    std::fprintf(stderr, "stacks: %s; %zu stacks, %llu samples (%llu dropped), mean %lld bytes\n",
                 Availability[int(StackAvailabilityOf(heap))], history.stacks.size(),
                 static_cast<unsigned long long>(heap.samples), static_cast<unsigned long long>(heap.droppedSamples),
                 static_cast<long long>(heap.sampleBytes));
    if (!history.columns.empty()) PrintTopStacks(history);
    if (separator == 4 && std::strcmp(argv[3], "-") != 0) {
        StackSymbols symbols;
        if (!WriteFoldedStacks(symbols, history, int64_t(history.columns.size()) - 1, TextFromUtf8(argv[3])))
            std::fprintf(stderr, "heap_run: cannot write %s\n", argv[3]);
    }
    CloseHeapRegion(region);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
