// The real quolk binary run as a child process: its exit statuses, and the bytes it writes to
// standard output and standard error, in the user's language, with and without a display; and,
// from the dynamic loader's trace of each run, that the command line loads no Qt or X library
// (the window, asked for, does: the trace sees what is loaded).
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "analysis/analysis_test_support.h"
#include "analysis/log_loader.h"
#include "analysis/phase_analysis.h"
#include "app/cli/command_line.h"
#include "app/cli/record_test_support.h"
#include "quolk_version.h"

namespace {

// Runs quolk (or `program`) with the arguments, a locale naming no language, and the environment's
// assignments given after it; checks the Qt and X libraries the run loaded.
std::tuple<int, std::string, std::string> RunQuolk(const ScratchDir& dir, const std::string& args,
                                                   const std::string& environment,
                                                   const std::string& program = QUOLK_BINARY_DIR "/quolk") {
    ScratchDir traces;
    const std::string command = "env -u LANGUAGE -u LANG -u LC_MESSAGES LC_ALL=C.UTF-8 LD_DEBUG=files LD_DEBUG_OUTPUT=" +
                                traces.File("trace") + " " + environment + " " + program + " " + args + " >" +
                                dir.File("out") + " 2>" + dir.File("err");
    int status = std::system(command.c_str());
    std::string trace;
    for (const auto& entry : std::filesystem::directory_iterator(traces.path)) trace += ReadBytes(entry.path());
    EXPECT_NE(trace.find("libc.so.6"), std::string::npos) << "no trace";
    const bool window = args.empty() && status == 0;
    EXPECT_EQ(record_test::QtAndXLibraries(trace).count("libQt6Widgets.so.6"), size_t(window));
    if (!window) {
        EXPECT_EQ(record_test::QtAndXLibraries(trace), std::set<std::string>());
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.Read("out"), dir.Read("err")};
}

// The report the application itself makes of the log in the language, as UTF-8.
std::string ReportInProcess(const std::string& path, const char16_t* language) {
    LoadStringTable(language);
    SampleHistory history;
    EXPECT_EQ(LoadMonitorLog(TextFromUtf8(path), history), LogLoadResult::Loaded);
    return TextToUtf8(RunPhaseAnalysis(history));
}

TEST(Cli, EveryOutcomeHasItsStatusAndItsExactOutput) {
    ScratchDir dir;
    std::string log = record_test::LogHeader;  // a steady climb, a row a second
    for (int s = 10; s < 60; ++s) log += "10:00:" + std::to_string(s) + ",1," + std::to_string(90 + s) + "\n";
    std::string session = "--analyze " + dir.Write("session.csv", log), path = session.substr(10);
    const std::string english = ReportInProcess(path, u"en");
    ASSERT_NE(english.find("\n\r\r\n"), std::string::npos);  // a headline's own break survives
    // A quolk without the window's program beside it (the quolk-cli package alone).
    std::filesystem::create_directory(dir.File("bin"));
    std::filesystem::copy_file(QUOLK_BINARY_DIR "/bin/quolk", dir.File("bin/quolk"));
    const std::string alone = dir.File("bin/quolk"), noDisplay = "DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM=";
    struct Case {
        std::string args;
        int status;
        std::string out, err;
        std::string environment{};
        bool part{};  // the expected texts need only be contained (an empty one: anything)
        std::string program = QUOLK_BINARY_DIR "/quolk";
    };
    const Case cases[] = {
        {session, 0, english, ""},
        // Too little to analyse is still a report: the text alone, with no line end.
        {"--analyze " + dir.Write("short.csv", record_test::LogHeader + "10:00:00,1,5\n10:00:01,1,0\n10:00:02,1,6\n"), 0,
         TextToUtf8(analysis_test::InsufficientData), ""},
        // The loader's message, as the window shows it.
        {"--analyze " + dir.path + "/absent.csv", ExitLoadError, "", "Could not open selected CSV log file.\n"},
        {"--help", 0, UsageText, ""},
        {"--analyze", ExitUsageError, "", "quolk: option '--analyze' needs a value (see 'quolk --help')\n"},
        // The user's language, its region dropped.
        {"--analyse", ExitUsageError, "", "quolk: unbekannte Option '--analyse' (siehe 'quolk --help')\n",
         "LANGUAGE=de_AT.UTF-8"},
        // What was typed shows with its control characters escaped: one line, no terminal codes.
        {"--record --interval \"$(printf '1\\n\\0330\\t')\"", ExitUsageError, "",
         "quolk: invalid value '1\\n\\x1b0\\t' for --interval (100 to 60000 ms) (see 'quolk --help')\n"},
        // Without a display the window says so in one line and names the command line, which works.
        {"", 1, "", "quolk: the window needs a desktop session (DISPLAY or WAYLAND_DISPLAY); `quolk --analyze FILE` works without one\n", noDisplay},
        {"", 1, "", "quolk: the window cannot be loaded; it comes with the quolk package, and the command line works without it (quolk --help): " + dir.File("lib/quolk/quolk: "), "DISPLAY=:99", true, alone},
        {"--version", 0, std::string(QuolkNameAndVersion) + "\n", "", "DISPLAY=:99", false, alone},
        {session + " --plot " + dir.File("run.png"), ExitLoadError, english, "needs the quolk-plot package", "", true,
         alone},
        {session + " --plot " + dir.File("run.svg"), 0, english, "", "", false, alone},  // quolk writes an SVG itself
        {"", 0, "", "", "QT_QPA_PLATFORM=offscreen QUOLK_QUIT_AFTER_FIRST_PAINT=1", true},  // the window
    };
    for (const Case& c : cases) {
        auto [status, out, err] = RunQuolk(dir, c.args, c.environment, c.program);
        SCOPED_TRACE(c.args + " with " + c.environment);
        EXPECT_EQ(status, c.status);
        for (auto [got, want] : {std::pair(out, c.out), std::pair(err, c.err)})
            EXPECT_EQ(c.part && got.find(want) != std::string::npos ? want : got, want);
    }
    LoadStringTable(u"en");
}

// A log whose footprint climbs 0.5 MB a row, stays at 80 MB, or rises and falls by 200 MB in
// 8 s cycles and stops 5 s into one: a leak, a flat process, and a sawtooth whose report says
// "possible leak" though it returns to its floor every cycle.
enum class Shape { Climbing, Flat, Sawtooth };
std::string LogOf(Shape shape) {
    std::string log = record_test::LogHeader;
    const int rows = shape == Shape::Sawtooth ? 45 : 120;
    for (int s = 0; s < rows; ++s) {
        const int phase = s % 8;
        const double sawtooth = 20 + (phase >= 2 && phase <= 4 ? 200 : phase == 1 || phase == 5 ? 100 : 0);
        const double mb = shape == Shape::Climbing ? 100 + 0.5 * s : shape == Shape::Flat ? 80.0 : sawtooth;
        char row[64];
        std::snprintf(row, sizeof row, "10:%02d:%02d,1,%.2f\n", s / 30, (s * 2) % 60, mb);
        log += row;
    }
    return log;
}

// The report's verdict stays what it was; --fail-on-leak follows the leak test, whose result
// comes in the JSON and, with the option, as one line on standard error.
TEST(Cli, AnalyzeGivesTheVerdictAndTheLeakTestAsJsonAndAsTheExitStatus) {
    ScratchDir dir;
    const std::string leak = dir.Write("leak.csv", LogOf(Shape::Climbing));
    const std::string flat = dir.Write("flat.csv", LogOf(Shape::Flat));
    const std::string sawtooth = dir.Write("sawtooth.csv", LogOf(Shape::Sawtooth));
    const std::tuple<std::string, int, int, const char*, const char*, double, std::string> cases[] = {
        // the log, the status, its rows, the verdict, the leak test and its slope, standard error
        {leak, ExitLeakFound, 120, "high_suspicion", "leak", 0.25,
         "quolk: leak test: leak, +0.250 MB/s (95 % interval 0.250 to 0.250), p = 4.9e-47\n"},
        {flat, 0, 120, "no_evidence", "no_leak", 0.0, "quolk: leak test: no leak (0.000 MB/s, p = 1)\n"},
        {sawtooth, 0, 45, "possible_leak", "no_leak", 0.0, "quolk: leak test: no leak (0.000 MB/s, p = 0.22)\n"},
    };
    for (const auto& [log, status, rows, verdict, leakTest, slope, told] : cases) {
        SCOPED_TRACE(log);
        auto [got, out, err] = RunQuolk(dir, "--json --fail-on-leak --analyze " + log, "LANGUAGE=en");
        EXPECT_EQ(got, status);
        EXPECT_EQ(err, told);
        nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
        ASSERT_FALSE(j.is_discarded()) << out;
        EXPECT_EQ(std::tie(j["tool"], j["source"], j["verdict"], j["leakTest"]["result"], j["leakTest"]["slopeMBps"]),
                  std::tie("quolk", "log", verdict, leakTest, slope));
        EXPECT_EQ(j["analysisSpan"], nlohmann::json({{"first", 1}, {"last", rows}, {"of", rows}}));
        EXPECT_TRUE(j["target"].is_null() && j["endReason"].is_null());
        EXPECT_EQ(j["report"], ReportInProcess(log, u"en"));
    }
}

}  // namespace
