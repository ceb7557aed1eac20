#include "app/cli/command_line.h"

#include <string>

#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "app/cli/cli_options.h"
#include "app/cli/json_summary.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"
#include "strings/stringtable.h"

const char* const UsageText =
    "Usage: quolk [OPTION]...\n"
    "Watch the memory of a running process and judge whether it leaks.\n"
    "\n"
    "  (no option)                start the window\n"
    "  --analyze FILE             analyse a CSV monitor log and write the report to standard output\n"
    "  --help                     show this help and exit\n"
    "  --version                  show the version and exit\n"
    "\n"
    "With --analyze:\n"
    "  --json                     print a JSON summary instead of the report text\n"
    "  --fail-on-leak             exit 1 when the verdict is a leak or a possible leak\n"
    "\n"
    "Exit status: 0 report printed; 1 leak found with --fail-on-leak; 2 the log, the target,\n"
    "the command or the CSV file could not be read, started or written; 64 wrong usage.\n";

namespace {

const char* const VersionLine = "Quolk 1.03\n";

void WriteUtf8(std::FILE* stream, TextView text) {
    std::string bytes = TextToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

int UsageError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "quolk: %s (see 'quolk --help')\n", message.c_str());
    return ExitUsageError;
}

int Finished(std::FILE* out, int status) {
    return std::fflush(out) == 0 && !std::ferror(out) ? status : ExitOutputError;
}

// The Analyze... road without the window: the same language, the same loading into the
// application's history, and the report exactly as Copy Report would put it on the clipboard.
int AnalyzeLog(const CliOptions& options, std::FILE* out, std::FILE* err) {
    LoadStringTable(DetectLanguage());
    SampleHistory& history = AppSampleHistory();
    LogLoadResult result = LoadMonitorLog(TextFromUtf8(options.logPath), history);
    if (result != LogLoadResult::Loaded) {
        WriteUtf8(err, LoadErrorMessage(result));
        return ExitLoadError;
    }
    PhaseAnalysis analysis = AnalyzeHistory(history);
    Text report = PhaseAnalysisReport(analysis);
    if (options.json) {
        SummaryFacts facts;
        facts.logPath = options.logPath;
        facts.sampleCount = analysis.activeSlots;
        std::fputs(JsonSummary(analysis, report, facts).c_str(), out);
    } else {
        WriteUtf8(out, report);
    }
    return Finished(out, options.failOnLeak && AnalysisFoundLeak(analysis) ? ExitLeakFound : 0);
}

}  // namespace

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, options, error)) return UsageError(err, error);
    switch (options.mode) {
        case CliMode::Window: return -1;
        case CliMode::Help: std::fputs(UsageText, out); return Finished(out, 0);
        case CliMode::Version: std::fputs(VersionLine, out); return Finished(out, 0);
        case CliMode::Analyze: return AnalyzeLog(options, out, err);
        case CliMode::Record: return UsageError(err, "--record is not available in this build");
    }
    return -1;
}
