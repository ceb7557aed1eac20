#include "app/cli/cli_result.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "analysis/phase_analysis.h"
#include "app/cli/cli_text.h"
#include "app/cli/command_line.h"
#include "app/cli/family_members.h"
#include "app/cli/plot_output.h"
#include "app/cli/recorder_stacks.h"
#include "runtime/text.h"

namespace {

// A slope with "+" when it shows above zero, and no sign for one that shows as zero.
std::string Slope(double mbPerSecond) {
    std::string text = Figure("%.3f", mbPerSecond);
    if (text == "-0.000") return "0.000";
    return mbPerSecond > 0.0 && text != "0.000" ? "+" + text : text;
}

// The plot's caption: a recording's target and its day, or a log's file name and the day it was written.
std::string PlotName(const SummaryFacts& facts) {
    return facts.recorded ? facts.name : std::filesystem::path(facts.logPath).filename().string();
}
std::string PlotDate(const SummaryFacts& facts) {
    return facts.recorded ? IsoUtc(facts.start).substr(0, 10) : FileDate(facts.logPath);
}

}  // namespace

int WriteOutput(std::FILE* out, std::FILE* err, const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fflush(out) == 0 && written && !std::ferror(out)) return 0;
    Say(err, FilledText(TextId::CannotWriteOutput, {std::strerror(errno != 0 ? errno : EIO)}));
    return ExitLoadError;
}

std::string LeakTestLine(const LeakTestResult& r) {
    const std::string seconds = Figure("%.0f", std::ceil(r.settleSeconds));
    switch (r.outcome) {
        case LeakOutcome::Leak:
            return FilledText(TextId::LeakTestLeak, {Slope(r.slopeMBps), Figure("%.3f", r.slopeLowMBps),
                                                  Figure("%.3f", r.slopeHighMBps), Figure("%.2g", r.pValue)});
        case LeakOutcome::NoLeak:
            return FilledText(TextId::LeakTestNoLeak, {Slope(r.slopeMBps), Figure("%.2g", r.pValue)});
        case LeakOutcome::Inconclusive: break;
    }
    if (r.unsettled == LeakUnsettled::CyclesTooLong)
        return FilledText(TextId::LeakTestCyclesTooLong, {Figure("%.1f", r.durationSec), seconds});
    return FilledText(TextId::LeakTestTooFewSamples, {seconds});
}

int PrintResult(const CliOptions& options, const SampleHistory& history, const PhaseAnalysis& analysis,
                TextView report, const SummaryFacts& facts, std::FILE* out, std::FILE* err) {
    const LeakTestResult leak = RunLeakTest(LeakSeries(history));
    const std::string text = options.json ? JsonSummary(analysis, leak, report, facts) : TextToUtf8(report);
    const int written = WriteOutput(out, err, text);
    // The picture comes after the report or JSON; one that cannot be written is status 2.
    PlotFacts plot{PlotName(facts), PlotDate(facts), options.plotWidth, options.plotHeight, {}};
    if (facts.members && !options.plotPath.empty()) plot.members = MemberLines(*facts.members, history);
    const bool plotted = PlotRunIfAsked(options, history, analysis, leak, plot, err);
    if (written) return written;
    if (!plotted) return ExitLoadError;
    if (!options.failOnLeak) return 0;
    Say(err, LeakTestLine(leak));
    const StacksReport* stacks = facts.stacks;
    const bool fails = LeakGateFails(leak, stacks);
    if (stacks && stacks->HeapTested()) {
        Say(err, FilledText(TextId::HeapLeakTestPrefix) + LeakTestLine(stacks->heapLeak));
        if (leak.outcome == LeakOutcome::Leak && !fails) Say(err, FilledText(TextId::HeapLeakGatePassed));
    }
    return fails ? ExitLeakFound : 0;
}
