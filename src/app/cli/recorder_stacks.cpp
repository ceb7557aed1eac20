#include "app/cli/recorder_stacks.h"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>

#include "analysis/signed_text.h"
#include "app/cli/cli_text.h"
#include "app/cli/private_program.h"
#include "heap/heap_region.h"
#include "strings/stringtable.h"

extern char** environ;

namespace {

constexpr const char* HeapLibraryName = "libquolk-heap.so";
constexpr double BytesPerMB = 1048576.0;
constexpr char16_t LineEnd[] = u"\r\n";

// "512 KiB", "1 MiB", "3000 B": the sampling distance as a reader thinks of it.
std::string ByteSize(int64_t bytes) {
    if (bytes % (1 << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
    if (bytes % (1 << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " B";
}

Text MB(double bytes) { return StrF(float(bytes / BytesPerMB), 1); }

// The first and last history slots of the samples the verdict reads: from the end of a warm-up it
// left out (its settled baseline), else the first sample, to the last.
void AnalysedSlots(const PhaseAnalysis& analysis, const SampleHistory& history, int64_t& from, int64_t& to) {
    const std::vector<PhaseRow>& rows = analysis.segmentation.rows;
    if (analysis.analysed && !rows.empty()) {
        const PhaseRow& first = rows.front();
        from =
            first.kind == PhaseKind::WarmUp && analysis.segmentation.warmUpExcluded ? first.endSlot : first.startSlot;
        to = rows.back().endSlot;
        return;
    }
    from = -1;
    for (int64_t i = 0; i < HistorySlotCount; ++i)
        if (IsActive(history.slots[i])) {
            if (from < 0) from = i;
            to = i;
        }
    if (from < 0) from = to = 0;
}

TextId UnavailableText(StacksState state) {
    switch (state) {
        case StacksState::StaticallyLinked: return TextId::StacksStaticallyLinked;
        case StacksState::SetId: return TextId::StacksSetId;
        case StacksState::NoMallocSeen: return TextId::StacksNoMallocSeen;
        case StacksState::NeverAttached: return TextId::StacksNeverAttached;
        case StacksState::Ready:
        case StacksState::Failed: break;
    }
    return TextId::StacksUnavailable;
}

Text StackLines(int64_t rank, const GrownStack& stack) {
    const StackGrowth& g = stack.growth;
    Text line = Text(u"#") + Str(rank) + u"  " + SignedStrF(float(g.growthBytes() / BytesPerMB), 1) + u" MB";
    if (stack.share >= 0.0)
        line += u"  " +
                TextFromUtf8(FilledText(TextId::StacksShare, {TextToUtf8(StrF(float(stack.share * 100.0), 0)) + "%"}));
    line +=
        u"  (" +
        TextFromUtf8(FilledText(TextId::StacksLiveBytes, {TextToUtf8(MB(g.startBytes)), TextToUtf8(MB(g.endBytes))})) +
        u")" + LineEnd;
    for (const StackFrame& frame : stack.frames) line += u"    " + FrameText(frame) + LineEnd;
    return line;
}

Text Section(const StacksReport& stacks) {
    const Text rule = Text(96, u'-') + LineEnd;
    Text section = LineEnd + rule + LookupText(TextId::StacksHeading) + LineEnd + rule;
    if (stacks.state != StacksState::Ready) {
        const std::string line = stacks.state == StacksState::Failed
                                     ? FilledText(TextId::StacksUnavailable, {stacks.reason})
                                     : FilledText(UnavailableText(stacks.state));
        return section + TextFromUtf8(line) + LineEnd;
    }
    section += TextFromUtf8(FilledText(TextId::StacksExplained, {ByteSize(stacks.sampleBytes)})) + LineEnd;
    if (stacks.top.empty()) return section + LineEnd + LookupText(TextId::StacksNoneGrew) + LineEnd;
    for (size_t i = 0; i < stacks.top.size(); ++i) section += LineEnd + StackLines(int64_t(i) + 1, stacks.top[i]);
    return section;
}

}  // namespace

std::string HeapLibraryPath(std::string& looked) {
    const std::string folder = RunningFolder();
    looked.clear();
    if (folder.empty()) return std::string();
    // Beside the binary first (a build tree), then the install's own folder for it.
    for (const std::filesystem::path& candidate :
         {std::filesystem::path(folder) / HeapLibraryName,
          std::filesystem::path(folder) / QUOLK_HEAP_DIR / HeapLibraryName}) {
        const std::string path = candidate.lexically_normal().string();
        if (access(path.c_str(), R_OK) == 0) return path;
        looked += (looked.empty() ? "" : ", ") + path;
    }
    return std::string();
}

ChildSetup PrepareStacks(RecordingStacks& stacks, const CliOptions& options) {
    stacks.sampleBytes = options.sampleBytes > 0 ? options.sampleBytes : HeapDefaultSampleBytes;
    switch (PreloadBlockerOf(ResolveCommandPath(options.command.front()))) {
        case PreloadBlocker::StaticallyLinked: stacks.blocked = StacksState::StaticallyLinked; return {};
        case PreloadBlocker::SetId: stacks.blocked = StacksState::SetId; return {};
        case PreloadBlocker::None: break;
    }
    std::string looked, error;
    const std::string library = HeapLibraryPath(looked);
    if (library.empty()) {
        stacks.blocked = StacksState::Failed;
        stacks.reason = FilledText(TextId::HeapLibraryMissing, {looked});
        return {};
    }
    if (!CreateHeapRegion(stacks.region, error)) {
        stacks.blocked = StacksState::Failed;
        stacks.reason = error;
        return {};
    }
    for (char** entry = environ; *entry; ++entry) stacks.environment.emplace_back(*entry);
    if (!HeapEnvironment(stacks.region, library, stacks.sampleBytes, stacks.environment, error)) {
        CloseHeapRegion(stacks.region);
        stacks.blocked = StacksState::Failed;
        stacks.reason = FilledText(TextId::HeapLibraryPathUnfit, {library});
        return {};
    }
    return ChildSetup{&stacks.environment, stacks.region.fd};
}

void SnapshotStacks(RecordingStacks& stacks) {
    if (stacks.region.header) TakeStackSnapshot(stacks.history, stacks.region);
}

StacksReport SummarizeStacks(RecordingStacks& stacks, const PhaseAnalysis& analysis, const SampleHistory& history) {
    StacksReport report;
    report.sampleBytes = stacks.sampleBytes;
    report.status = ReadHeapStatus(stacks.region);
    if (stacks.blocked != StacksState::Ready) {
        report.state = stacks.blocked;
        report.reason = stacks.reason;
        return report;
    }
    switch (StackAvailabilityOf(report.status)) {
        case StackAvailability::NeverAttached: report.state = StacksState::NeverAttached; return report;
        case StackAvailability::NoMallocSeen: report.state = StacksState::NoMallocSeen; return report;
        case StackAvailability::Ready: report.state = StacksState::Ready; break;
    }
    if (report.status.sampleBytes > 0) report.sampleBytes = report.status.sampleBytes;
    AnalysedSlots(analysis, history, report.fromSlot, report.toSlot);
    report.footprintGrowthBytes =
        (double(history.slots[report.toSlot].footprintMB) - history.slots[report.fromSlot].footprintMB) * BytesPerMB;
    for (const StackGrowth& growth : TopStacksByGrowth(stacks.history, report.fromSlot, report.toSlot, TopStackCount)) {
        GrownStack grown{growth, -1.0, StackFrames(stacks.symbols, stacks.history, growth.stack)};
        if (report.footprintGrowthBytes > 0.0) grown.share = growth.growthBytes() / report.footprintGrowthBytes;
        report.top.push_back(std::move(grown));
    }
    std::vector<double> liveMB(static_cast<size_t>(HistorySlotCount));
    for (int64_t slot = 0; slot < HistorySlotCount; ++slot)
        liveMB[size_t(slot)] = LiveBytesAt(stacks.history, slot) / BytesPerMB;
    report.heapLeak = RunLeakTest(LeakSeries(history, liveMB), LeakTestSettings{.zerosAreReadings = true});
    return report;
}

bool LeakGateFails(const LeakTestResult& footprint, const StacksReport* stacks) {
    if (footprint.outcome != LeakOutcome::Leak) return false;
    if (!stacks || !stacks->HeapTested()) return true;
    // The footprint's test has judged the shape (sustained, not a level shift); the live heap need
    // only grow with it. Sampling makes its series lumpy, so its own halves may fail the shape on
    // a real leak. A heap too unsettled to judge, on the samples where the footprint was judged,
    // rises and falls back: the very case of memory freed and kept resident.
    const LeakTestResult& heap = stacks->heapLeak;
    return heap.outcome == LeakOutcome::Leak ||
           (heap.outcome == LeakOutcome::NoLeak && heap.pValue < LeakTestSettings{}.alpha &&
            heap.growthMB >= heap.minGrowthMB);
}

bool WriteStacksFile(RecordingStacks& stacks, const std::string& path, std::FILE* err) {
    if (path.empty()) return true;
    // Without samples every stack is empty: the file is written all the same, empty, so that a
    // script finds what it asked for.
    const int64_t last = int64_t(stacks.history.columns.size()) - 1;
    if (WriteFoldedStacks(stacks.symbols, stacks.history, last, TextFromUtf8(path))) return true;
    Say(err, FilledText(TextId::StacksFileCannotWritePrefix) + path);
    return false;
}

Text ReportWithStacks(TextView report, const StacksReport& stacks) {
    // The closing rule is the report's last line; the section goes above it.
    size_t cut = report.size();
    if (report.size() >= 2 && report.substr(report.size() - 2) == u"\r\n") {
        const size_t previous = report.rfind(u"\r\n", report.size() - 3);
        const size_t lastLine = previous == TextView::npos ? 0 : previous + 2;
        if (lastLine < report.size() && report[lastLine] == u'=') cut = lastLine;
    }
    return Text(report.substr(0, cut)) + Section(stacks) + Text(report.substr(cut));
}

Text FrameText(const StackFrame& frame) {
    char offset[32];
    std::snprintf(offset, sizeof offset, "+0x%" PRIx64, frame.offset);
    const Text place = !frame.file.empty() ? frame.file + u":" + Str(frame.line)
                       : !frame.module.empty() ? frame.module + TextFromUtf8(offset)
                                               : TextFromUtf8(offset + 1);
    return frame.function.empty() ? place : frame.function + u" — " + place;
}
