// Allocation stacks in a recording (--stacks): libquolk-heap.so preloaded into the command, each
// stack's live bytes read at every tick beside the footprint, and at the end the stacks whose live
// bytes grew most over the samples the verdict reads, named, for the report, the JSON and the
// folded file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "analysis/leak_test.h"
#include "analysis/phase_analysis.h"
#include "app/cli/child_process.h"
#include "app/cli/cli_options.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"
#include "stacks/heap_stacks.h"
#include "stacks/stack_symbols.h"

// Whether stacks were recorded, or why not.
enum class StacksState { Ready, StaticallyLinked, SetId, NeverAttached, NoMallocSeen, Failed };

struct GrownStack {
    StackGrowth growth;
    double share{-1.0};  // of the footprint's growth over the same samples; negative: it did not grow
    std::vector<StackFrame> frames;
};

// What the report, the JSON and the exit status take from the stacks.
struct StacksReport {
    StacksState state{StacksState::NeverAttached};
    std::string reason;  // Failed: why the sampler could not be given to the command
    HeapStatus status;
    int64_t sampleBytes{};
    int64_t fromSlot{}, toSlot{};  // the history slots the growth is measured between
    double footprintGrowthBytes{};
    std::vector<GrownStack> top;  // largest growth first, at most TopStackCount
    // The leak test on the sampled live heap (every stack's live bytes summed at each sample),
    // over the same samples as the footprint's; run only when the state is Ready.
    LeakTestResult heapLeak;
    bool HeapTested() const { return state == StacksState::Ready; }
};

// Whether --fail-on-leak fails: the footprint's leak test says leak and, where the live heap was
// sampled, it was judged to grow too (its test's leak, or a significant growth by the growth a
// leak must reach).
// The live heap sees what the footprint cannot: memory freed and kept resident by the allocator
// reads as held in the footprint but not in the live heap.
bool LeakGateFails(const LeakTestResult& footprint, const StacksReport* stacks);

inline constexpr int64_t TopStackCount = 5;

// The sampler's side of a recording, from before the command starts to the report.
struct RecordingStacks {
    RecordingStacks() = default;
    RecordingStacks(const RecordingStacks&) = delete;
    RecordingStacks& operator=(const RecordingStacks&) = delete;
    ~RecordingStacks() { CloseHeapRegion(region); }

    HeapRegion region;
    StackHistory history;
    StackSymbols symbols;
    std::vector<std::string> environment;  // the command's, with the sampler preloaded
    StacksState blocked{StacksState::Ready};  // known before the start: not preloaded, and why
    std::string reason;
    int64_t sampleBytes{};
};

// The library beside the running quolk, or in the install's library folder; "" with the places
// looked at in `looked` when neither has it.
std::string HeapLibraryPath(std::string& looked);

// Makes the region and the environment that preloads the sampler into the command, unless the
// command cannot take it (statically linked, set-user-ID) or the library is missing; then the
// command starts as without --stacks and the reason is kept for the report.
ChildSetup PrepareStacks(RecordingStacks& stacks, const CliOptions& options);

// Each stack's live bytes now: called once for every point added to the footprint history, so that
// column i matches history slot i.
void SnapshotStacks(RecordingStacks& stacks);

// The stacks that grew most from the settled baseline (the end of a warm-up the analysis left out,
// else the first sample) to the last sample, with their frames named.
StacksReport SummarizeStacks(RecordingStacks& stacks, const PhaseAnalysis& analysis, const SampleHistory& history);

// Writes every stack's live bytes at the last sample in the folded text of flame-graph tools to
// `path` ("" writes nothing). False, with one line on err, when it could not be written whole.
bool WriteStacksFile(RecordingStacks& stacks, const std::string& path, std::FILE* err);

// The report with the section "Where the memory grew" after the evidence, before the closing rule.
Text ReportWithStacks(TextView report, const StacksReport& stacks);

// "func — file:line", "func — module+0x1a2b" or "module+0x1a2b".
Text FrameText(const StackFrame& frame);
