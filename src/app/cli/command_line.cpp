#include "app/cli/command_line.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "app/cli/cli_options.h"
#include "app/cli/cli_result.h"
#include "app/cli/cli_text.h"
#include "app/cli/json_summary.h"
#include "app/cli/private_program.h"
#include "app/cli/log_compare.h"
#include "app/cli/recorder.h"
#include "monitor/sample_history.h"
#include "quolk_version.h"
#include "runtime/text.h"
#include "strings/stringtable.h"

const char* const UsageText =
    "Usage: quolk [OPTION]...\n"
    "       quolk --analyze FILE [--json] [--fail-on-leak]\n"
    "       quolk --record PID [OPTION]...\n"
    "       quolk --record [OPTION]... -- COMMAND [ARG]...\n"
    "       quolk --serve [--listen ADDRESS:PORT] [--match NAME]... [--pid PID]... [OPTION]...\n"
    "       quolk --compare BEFORE AFTER [--json] [--plot FILE] [--fail-on-regression]\n"
    "Watch the memory of a process and judge whether it leaks.\n"
    "\n"
    "  (no option)           start the window\n"
    "  --analyze FILE        analyse a CSV monitor log and print the report\n"
    "  --record PID          record a running process until it ends or Ctrl+C, then print the report\n"
    "  --record -- COMMAND   start COMMAND and record it; it is ended when the recording ends\n"
    "  --serve               watch processes by name and PID and serve their figures and leak\n"
    "                        test to Prometheus, until SIGTERM or Ctrl+C\n"
    "  --compare BEFORE AFTER  analyse two logs side by side and tell which grows faster\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Options of --record:\n"
    "  --interval MS         sampling interval, 100 to 60000 (default 1000; see --duration)\n"
    "  --duration SECONDS    stop after this long (default: until the target ends or Ctrl+C);\n"
    "                        without --interval the interval is SECONDS/300 (at least 100 ms)\n"
    "                        and at most 300 samples are taken, all of which the analysis reads\n"
    "  --csv FILE            write the monitor log to FILE, in the format the window writes\n"
    "  --profile NAME        default | menu-bar | file-converter: the window's profiles' limits\n"
    "  --growth-limit MB     growth over the baseline that raises the alert, 10 to 999\n"
    "  --streak N            consecutive increases that raise the alert, 1 to 10\n"
    "  --max-footprint MB    end with status 1 as soon as the footprint is above MB\n"
    "  --max-growth MB       end with status 1 as soon as the growth over the baseline is above MB\n"
    "  --include-children    every figure is the sum over the target and all its descendants\n"
    "                        (counters can then fall when a descendant ends)\n"
    "  --children-csv FILE   with --include-children: a row for each process of the family at\n"
    "                        each sample (time, PID, name, footprint MB) in FILE\n"
    "  --quiet               no live line on standard error\n"
    "  --stacks              with -- COMMAND: sample its allocation stacks (the library\n"
    "                        libquolk-heap.so preloaded) and end the report with the stacks\n"
    "                        whose live memory grew most\n"
    "  --sample-bytes N      with --stacks: one sample every N allocated bytes on average,\n"
    "                        1024 to 1073741824 (default 524288)\n"
    "  --stacks-out FILE     with --stacks: every stack's live bytes at the end, in the folded\n"
    "                        format that flame-graph tools read\n"
    "\n"
    "Options of --serve:\n"
    "  --listen ADDRESS:PORT where /metrics is served (default 127.0.0.1:9464; :PORT for every\n"
    "                        address, port 0 for any free one)\n"
    "  --match NAME          every process whose command or executable's file name is NAME; one\n"
    "                        that starts later is watched from the next interval (repeatable)\n"
    "  --pid PID             the process with this PID (repeatable)\n"
    "  --interval MS         sampling interval, 100 to 60000 (default 10000)\n"
    "  --window MINUTES      the span of samples the leak test reads, 1 to 10080 (default 60)\n"
    "  --profile, --growth-limit and --streak set the alarms as for --record\n"
    "\n"
    "Options of --analyze and --record:\n"
    "  --json                print a JSON summary instead of the report text\n"
    "  --fail-on-leak        exit 1 when the leak test finds a leak; its result on standard error\n"
    "  --plot FILE           draw the run into FILE.svg, or FILE.png with the quolk-plot package\n"
    "  --plot-size WxH       the picture's size in pixels, 200 to 8000 each (default 1200x600)\n"
    "\n"
    "Options of --compare: --json, --plot FILE, --plot-size WxH as above, and\n"
    "  --fail-on-regression  exit 1 when AFTER grows faster than BEFORE and their 95 % intervals\n"
    "                        do not overlap\n"
    "\n"
    "The report is the text the window's Copy Report gives (CR LF line ends), in the language of\n"
    "LANGUAGE, LC_ALL, LC_MESSAGES or LANG. A recording ends at the end of --duration, when the\n"
    "target ends (or its PID is reused), when a budget is exceeded, or on SIGINT, SIGTERM or\n"
    "SIGHUP; the report is printed in every case. A started COMMAND still running then gets\n"
    "SIGTERM, and SIGKILL 5 s later.\n"
    "\n"
    "Exit status: 0 report printed; 1 a leak with --fail-on-leak, a budget exceeded, or a\n"
    "regression with --fail-on-regression; 2 a log, the target or the command could not be read\n"
    "or started, or the CSV or stacks file, standard output or the plot could not be written; 64\n"
    "wrong usage. --serve ends with 0 on SIGTERM or SIGINT, and with 2 when it cannot listen on\n"
    "the address.\n";

namespace {

void WriteUtf8(std::FILE* stream, TextView text) {
    std::string bytes = TextToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

// A usage error shows what was typed, control characters escaped ("\n", "\x1b"), so that its
// message stays one line and cannot move a terminal's cursor.
std::string Escaped(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else out += char(c);
    }
    return out;
}

// Standard input, output and error open, each at its own number: a closed one would be handed to
// the next file opened (the CSV log), and the report or the messages would go into that file.
// Each is given /dev/null in its place; false when standard output was closed.
bool StandardOutputOpen() {
    bool outputOpen = true;
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(fd, F_GETFD) >= 0) continue;
        if (fd == STDOUT_FILENO) outputOpen = false;
        open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);  // the lowest free number: fd
    }
    return outputOpen;
}

// The Analyze... road without the window: the same loading into a history, and the report exactly
// as Copy Report would put it on the clipboard.
int AnalyzeLog(const CliOptions& options, std::FILE* out, std::FILE* err) {
    SampleHistory history;
    int64_t rows = 0;
    LogLoadResult result = LoadMonitorLog(TextFromUtf8(options.logPath), history, &rows);
    if (result != LogLoadResult::Loaded) {
        WriteUtf8(err, LoadErrorMessage(result));
        return ExitLoadError;
    }
    const PhaseAnalysis analysis = AnalyzeHistory(history);
    return PrintResult(options, history, analysis, PhaseAnalysisReport(analysis),
                       LogSummaryFacts(options.logPath, rows, analysis.activeSlots), out, err);
}

}  // namespace

int RunCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    // Without arguments the window opens, and it reads its texts itself.
    if (argc < 2) return -1;
    // Every message and report in the user's language, as in the window.
    LoadStringTable(DetectLanguage());
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, options, error)) {
        Say(err, FilledText(TextId::SeeHelp, {Escaped(error)}));
        return ExitUsageError;
    }
    if (options.mode == CliMode::Window) return -1;
    // A closed pipe on standard output is told as a write error (status 2) after the CSV log is
    // complete, rather than killing the recording in the middle.
    signal(SIGPIPE, SIG_IGN);
    if (!StandardOutputOpen()) {
        Say(err, FilledText(TextId::CannotWriteOutput, {std::strerror(EBADF)}));
        return ExitLoadError;
    }
    switch (options.mode) {
        case CliMode::Window: return -1;
        case CliMode::Help: return WriteOutput(out, err, UsageText);
        case CliMode::Version: return WriteOutput(out, err, std::string(QuolkNameAndVersion) + "\n");
        case CliMode::Analyze: return AnalyzeLog(options, out, err);
        case CliMode::Record: return RunRecording(options, out, err);
        case CliMode::Serve: return RunServeProgram(argv, err);
        case CliMode::Compare: return RunCompare(options, out, err);
    }
    return -1;
}

int SayNoDisplay(std::FILE* err) {
    LoadStringTable(DetectLanguage());
    Say(err, FilledText(TextId::NoDisplay));
    return 1;
}
