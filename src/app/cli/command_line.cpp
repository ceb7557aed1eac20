#include "app/cli/command_line.h"

#include <cstring>
#include <string>

#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "strings/stringtable.h"
#include "monitor/sample_history.h"
#include "runtime/text.h"

namespace {

const char* const kVersionLine = "Quolk 1.03\n";
const char* const kUsage =
    "Usage: quolk [OPTION]\n"
    "Watch the memory of a running process and judge whether it leaks.\n"
    "\n"
    "  (no option)      start the window\n"
    "  --analyze FILE   analyse a CSV monitor log and write the report to standard output\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n";

void WriteUtf8(std::FILE* stream, TextView text) {
    std::string bytes = TextToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

int UsageError(std::FILE* err, const char* message, const char* option) {
    std::fprintf(err, message, option);
    std::fputs(kUsage, err);
    return ExitUsageError;
}

// The Analyze... road without the window: the same language, the same loading into the
// application's history, and the report exactly as Copy Report would put it on the clipboard.
int AnalyzeLog(const char* path, std::FILE* out, std::FILE* err) {
    LoadStringTable(DetectLanguage());
    LogLoadResult result = LoadMonitorLog(TextFromUtf8(path), AppSampleHistory());
    if (result != LogLoadResult::Loaded) {
        WriteUtf8(err, LoadErrorMessage(result));
        return ExitLoadError;
    }
    WriteUtf8(out, RunPhaseAnalysis());
    return std::fflush(out) == 0 && !std::ferror(out) ? 0 : ExitOutputError;
}

}  // namespace

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    if (argc < 2) return -1;
    const char* option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0) {
        std::fputs(kUsage, out);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        std::fputs(kVersionLine, out);
        return 0;
    }
    if (std::strcmp(option, "--analyze") == 0) {
        if (argc < 3) return UsageError(err, "quolk: option '%s' needs a FILE\n", option);
        if (argc > 3) return UsageError(err, "quolk: unexpected argument '%s'\n", argv[3]);
        return AnalyzeLog(argv[2], out, err);
    }
    return UsageError(err, "quolk: unknown option '%s'\n", option);
}
