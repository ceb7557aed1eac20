// The sampler preloaded into a program with known allocation sites, read as the recorder reads it:
// the leaking site comes first with its growth close to the truth, the churning and cached sites
// do not grow, and the program behaves as it does unwatched.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "stacks/heap_stacks.h"
#include "stacks/stack_symbols.h"

extern char** environ;

namespace {

// A small mean, so that a two-second leak of 2 MB is estimated within a few per cent.
constexpr int64_t TestSampleBytes = 4096;

// A program started with its standard input and output on pipes, and the region when given.
struct Target {
    pid_t pid{-1};
    FILE* input{};
    FILE* output{};

    Target(const std::vector<std::string>& command, const HeapRegion* region, int64_t sampleBytes) {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
        std::string error;
        if (region && !HeapEnvironment(*region, QUOLK_HEAP_LIBRARY, sampleBytes, environment, error)) return;
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&files, fromChild[1], STDOUT_FILENO);
        if (region) posix_spawn_file_actions_adddup2(&files, region->fd, region->fd);  // inherited
        std::vector<char*> argv, envp;
        for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&files);
        close(toChild[0]);
        close(fromChild[1]);
        input = fdopen(toChild[1], "w");
        output = fdopen(fromChild[0], "r");
    }
    ~Target() {
        if (input) fclose(input);
        if (output) fclose(output);
        if (pid > 0) {  // a test that failed half-way: the program may wait for a line
            kill(pid, SIGKILL);
            Wait();
        }
    }

    std::string ReadLine() {
        char line[256];
        return output && fgets(line, sizeof line, output) ? std::string(line) : std::string();
    }
    void Say(const char* line) { fputs(line, input), fflush(input); }
    // The exit status; -1 for an end by a signal.
    int Wait() {
        int status = 0;
        const pid_t waited = pid > 0 ? waitpid(pid, &status, 0) : -1;
        pid = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

bool Contains(const Text& text, const char16_t* part) { return text.find(part) != Text::npos; }

// What the program prints and its exit status, read through to the end.
std::string RunToEnd(Target& target, int& status) {
    std::string output, line;
    while (!(line = target.ReadLine()).empty()) {
        output += line;
        if (line == "ready\n") target.Say("go\n");
        if (line.starts_with("leaked")) target.Say("end\n");
    }
    status = target.Wait();
    return output;
}

struct SiteCase {
    const char* name;
    std::vector<std::string> command;  // after the program
    int status;
    const char16_t* function;  // the leaking site; null: the healthy program, where nothing grows
    const char* file;
    const char* marker;
};
void PrintTo(const SiteCase& c, std::ostream* out) { *out << c.name; }

class LeakSite : public testing::TestWithParam<SiteCase> {};

// The leaking site comes first, its growth within 15 % of the truth; the cache (full before the
// first snapshot) and the churn (blocks live for an instant) do not grow; and the program's output
// and status are as unwatched, forked and executed children included.
TEST_P(LeakSite, TopStackIsTheLeakOnlyItGrowsAndTheProgramIsAsUnwatched) {
    const SiteCase& c = GetParam();
    std::vector<std::string> command = {QUOLK_HEAP_SITES};
    command.insert(command.end(), c.command.begin(), c.command.end());
    int plainStatus = 0;
    Target plain(command, nullptr, 0);
    const std::string plainOutput = RunToEnd(plain, plainStatus);
    HeapRegion region;
    std::string error;
    ASSERT_TRUE(CreateHeapRegion(region, error)) << error;
    StackHistory history;
    std::string output, leaked;
    {
        Target target(command, &region, TestSampleBytes);
        for (std::string line; !output.ends_with("ready\n"); output += line)
            ASSERT_FALSE((line = target.ReadLine()).empty()) << output;
        TakeStackSnapshot(history, region);
        target.Say("go\n");
        leaked = target.ReadLine();
        TakeStackSnapshot(history, region);
        target.Say("end\n");
        EXPECT_EQ(ReadHeapStatus(region).pid, target.pid);
        EXPECT_EQ(target.Wait(), c.status);
    }
    EXPECT_EQ(plainStatus, c.status);
    EXPECT_EQ(output + leaked, plainOutput);
    double truth = 0;
    ASSERT_EQ(std::sscanf(leaked.c_str(), "leaked %lf", &truth), 1);
    StackSymbols symbols;
    std::vector<StackGrowth> grown = TopStacksByGrowth(history, 0, 1, -1);
    if (c.function) {
        ASSERT_FALSE(grown.empty());
    }
    for (const StackGrowth& growth : grown) {
        std::vector<StackFrame> frames = StackFrames(symbols, history, growth.stack);
        ASSERT_FALSE(frames.empty());
        if (c.function && &growth == &grown.front()) {
            EXPECT_TRUE(Contains(frames[0].function, c.function)) << TextToUtf8(frames[0].function);
            EXPECT_TRUE(frames[0].file.ends_with(TextFromUtf8(std::string("/") + c.file)));
            EXPECT_EQ(frames[0].line, ::SiteLine(std::string(QUOLK_SOURCE_DIR "/tests/helpers/") + c.file, c.marker));
            EXPECT_NEAR(growth.growthBytes(), truth, 0.15 * truth);
        } else {
            // Nothing else above 2 % of the footprint, which holds at least the 50 MB cache.
            EXPECT_LT(growth.growthBytes(), 0.02 * (50 << 20)) << TextToUtf8(frames[0].function);
        }
    }
    EXPECT_FALSE(Contains(FoldedStacks(symbols, history, 0), u"ChildSite"));
    CloseHeapRegion(region);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, LeakSite,
    testing::Values(SiteCase{"EightThreadsAfterChildren", {"fork", "8", "2"}, 3, u"LeakBlock", "heap_sites.cpp", "leak"},
                    SiteCase{"ReallocGrowth", {"realloc", "1", "2"}, 0, u"GrowBuffer", "heap_sites.cpp", "realloc"},
                    SiteCase{"UnloadedLibrary", {"plugin", "1", "2", QUOLK_HEAP_PLUGIN}, 0, u"PluginLeak",
                             "heap_plugin.cpp", "plugin"},
                    SiteCase{"Healthy", {"none", "1", "2"}, 0, nullptr, "", ""}),
    [](const testing::TestParamInfo<SiteCase>& info) { return std::string(info.param.name); });

}  // namespace
