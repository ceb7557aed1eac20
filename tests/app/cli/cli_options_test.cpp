// Reading the command line into its record: every option's range, the rules between options, and
// the interval a recording samples at.
#include "app/cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "strings/stringtable.h"

namespace {

// Splits at blanks; "quolk" is argv[0].
bool Parse(const std::string& line, CliOptions& options, std::string& error) {
    std::vector<std::string> words{"quolk"};
    std::istringstream in(line);
    for (std::string word; in >> word;) words.push_back(word);
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CliOptions, GoodLinesGiveTheirRecord) {
    struct Case {
        std::string line;
        CliMode mode;
        int32_t pid;
        std::vector<std::string> command;
        int64_t intervalMs;
        float growthMB;
        int64_t streak;
        bool json, failOnLeak, children, quiet;
    };
    const Case cases[] = {
        {"", CliMode::Window, 0, {}, 1000, 200, 3, false, false, false, false},
        {"--version", CliMode::Version, 0, {}, 1000, 200, 3, false, false, false, false},
        {"--analyze log.csv --json", CliMode::Analyze, 0, {}, 1000, 200, 3, true, false, false, false},
        {"--fail-on-leak --analyze=log.csv", CliMode::Analyze, 0, {}, 1000, 200, 3, false, true, false, false},
        {"--record 812", CliMode::Record, 812, {}, 1000, 200, 3, false, false, false, false},
        {"--record 812 --interval 100 --quiet", CliMode::Record, 812, {}, 100, 200, 3, false, false, false, true},
        {"--record --interval=60000 -- ./leaky --fast -x", CliMode::Record, 0, {"./leaky", "--fast", "-x"}, 60000,
         200, 3, false, false, false, false},
        {"--record 7 --profile menu-bar", CliMode::Record, 7, {}, 1000, 50, 5, false, false, false, false},
        {"--record 7 --profile file-converter --streak 10", CliMode::Record, 7, {}, 1000, 500, 10, false, false,
         false, false},
        {"--growth-limit 10 --record 7 --profile menu-bar --streak 1 --include-children --json --fail-on-leak",
         CliMode::Record, 7, {}, 1000, 10, 1, true, true, true, false},
        // A duration alone spreads the 300 analysed samples over the run, never below 100 ms.
        {"--record 7 --duration 600", CliMode::Record, 7, {}, 2000, 200, 3, false, false, false, false},
        {"--record 7 --duration 2.5", CliMode::Record, 7, {}, 100, 200, 3, false, false, false, false},
        {"--record 7 --duration 45", CliMode::Record, 7, {}, 150, 200, 3, false, false, false, false},
        {"--record 7 --duration 600 --interval 500", CliMode::Record, 7, {}, 500, 200, 3, false, false, false, false},
        {"--record 7 --duration 604800", CliMode::Record, 7, {}, 2016000, 200, 3, false, false, false, false},
    };
    for (const Case& c : cases) {
        CliOptions o;
        std::string error;
        SCOPED_TRACE(c.line);
        ASSERT_TRUE(Parse(c.line, o, error)) << error;
        EXPECT_EQ(o.mode, c.mode);
        EXPECT_EQ(o.pid, c.pid);
        EXPECT_EQ(o.command, c.command);
        EXPECT_EQ(EffectiveIntervalMs(o), c.intervalMs);
        EXPECT_EQ(o.growthLimitMB, c.growthMB);
        EXPECT_EQ(o.streakThreshold, c.streak);
        EXPECT_EQ(o.json, c.json);
        EXPECT_EQ(o.failOnLeak, c.failOnLeak);
        EXPECT_EQ(o.includeChildren, c.children);
        EXPECT_EQ(o.quiet, c.quiet);
        EXPECT_FALSE(o.stacks);
    }
    CliOptions o;
    std::string error;
    ASSERT_TRUE(Parse("--record --stacks --sample-bytes 4096 --stacks-out=s.folded -- ./leaky", o, error)) << error;
    EXPECT_TRUE(o.stacks);
    EXPECT_EQ(o.sampleBytes, 4096);
    EXPECT_EQ(o.stacksPath, "s.folded");
}

// The budgets, and the samples a recording may take: 300 only for a duration that sets the interval.
TEST(CliOptions, BudgetsAndTheSampleLimit) {
    const std::tuple<std::string, int64_t, int64_t, int64_t> cases[] = {
        {"--record 5 --max-footprint 1 --max-growth=1048576", 1, 1048576, 0},
        {"--record 5 --duration 120", 0, 0, 300},
        {"--record 5 --duration 120 --interval 100 --max-growth 20", 0, 20, 0},
    };
    for (const auto& [line, footprint, growth, limit] : cases) {
        CliOptions o;
        std::string error;
        ASSERT_TRUE(Parse(line, o, error)) << error;
        EXPECT_EQ(std::tuple(o.maxFootprintMB, o.maxGrowthMB, SampleLimit(o)), std::tuple(footprint, growth, limit))
            << line;
    }
}

TEST(CliOptions, PlotAndCompareOptions) {
    const struct {
        std::string line;
        CliMode mode;
        std::string plot, before, after;
        int width, height;
        bool failOnRegression;
    } cases[] = {
        {"--analyze a.csv --plot run.SVG", CliMode::Analyze, "run.SVG", "", "", 1200, 600, false},
        {"--record 7 --plot run.png --plot-size 800x8000", CliMode::Record, "run.png", "", "", 800, 8000, false},
        {"--compare a.csv b.csv --fail-on-regression --plot=c.svg --plot-size 640\u00d7480", CliMode::Compare, "c.svg",
         "a.csv", "b.csv", 640, 480, true},
        {"--json --compare=a.csv b.csv", CliMode::Compare, "", "a.csv", "b.csv", 1200, 600, false},
    };
    for (const auto& c : cases) {
        CliOptions o;
        std::string error;
        ASSERT_TRUE(Parse(c.line, o, error)) << c.line << ": " << error;
        EXPECT_EQ(std::tie(o.mode, o.plotPath, o.before, o.after, o.plotWidth, o.plotHeight, o.failOnRegression),
                  std::tie(c.mode, c.plot, c.before, c.after, c.width, c.height, c.failOnRegression))
            << c.line;
    }
}

TEST(CliOptions, EveryWrongLineSaysWhatIsWrong) {
    LoadStringTable(u"en");
    const std::pair<std::string, std::string> cases[] = {
        {"--analyse x", "unknown option '--analyse'"},
        {"-x", "unknown option '-x'"},
        {"log.csv", "unexpected argument 'log.csv'"},
        {"--analyze", "option '--analyze' needs a value"},
        {"--analyze a.csv --analyze b.csv", "option '--analyze' given twice"},
        {"--analyze a.csv --record 5", "--analyze and --record cannot be combined"},
        {"--analyze a.csv --csv out.csv", "option '--csv' needs --record"},
        {"--analyze a.csv --quiet", "option '--quiet' needs --record"},
        {"--json", "option '--json' needs --record or --analyze"},
        {"--record", "--record needs a PID or '-- COMMAND'"},
        {"--record 5 -- sleep 1", "--record takes a PID or '-- COMMAND', not both"},
        {"--record 0", "invalid PID '0'"},
        {"--record 12x", "invalid PID '12x'"},
        {"--record 99999999999", "invalid PID '99999999999'"},
        {"--record=5", "option '--record' takes no '='; write --record PID"},
        {"--record 5 --json=yes", "option '--json' takes no value"},
        {"-- sleep 1", "'--' needs --record before it"},
        {"--record --", "'--' needs a COMMAND after it"},
        {"--record 5 --interval", "option '--interval' needs a value"},
        {"--record 5 --interval 99", "invalid value '99' for --interval (100 to 60000 ms)"},
        {"--record 5 --interval 60001", "invalid value '60001' for --interval (100 to 60000 ms)"},
        {"--record 5 --interval 1e3", "invalid value '1e3' for --interval (100 to 60000 ms)"},
        {"--record 5 --interval -500", "invalid value '-500' for --interval (100 to 60000 ms)"},
        {"--record 5 --duration 0", "invalid value '0' for --duration (seconds above 0, at most 604800)"},
        {"--record 5 --duration 1.", "invalid value '1.' for --duration (seconds above 0, at most 604800)"},
        {"--record 5 --duration 604801", "invalid value '604801' for --duration (seconds above 0, at most 604800)"},
        {"--record 5 --duration ten", "invalid value 'ten' for --duration (seconds above 0, at most 604800)"},
        {"--record 5 --profile custom", "invalid value 'custom' for --profile (default, menu-bar or file-converter)"},
        {"--record 5 --growth-limit 9", "invalid value '9' for --growth-limit (10 to 999 MB)"},
        {"--record 5 --growth-limit 1000", "invalid value '1000' for --growth-limit (10 to 999 MB)"},
        {"--record 5 --growth-limit 12.5", "invalid value '12.5' for --growth-limit (10 to 999 MB)"},
        {"--record 5 --streak 0", "invalid value '0' for --streak (1 to 10)"},
        {"--record 5 --streak 11", "invalid value '11' for --streak (1 to 10)"},
        {"--record 5 --csv=", "option '--csv' needs a FILE"},
        {"--record 5 --max-footprint 0", "invalid value '0' for --max-footprint (1 to 1048576 MB)"},
        {"--record 5 --max-growth 1048577", "invalid value '1048577' for --max-growth (1 to 1048576 MB)"},
        {"--analyze a.csv --max-growth 5", "option '--max-growth' needs --record"},
        {"--record 5 --quiet --quiet", "option '--quiet' given twice"},
        {"--record 5 --stacks", "--stacks needs '-- COMMAND': a running process cannot be given the sampling library"},
        {"--record --stacks-out s.folded -- ./leaky", "option '--stacks-out' needs --stacks"},
        {"--record --sample-bytes 4096 -- ./leaky", "option '--sample-bytes' needs --stacks"},
        {"--record --stacks --sample-bytes 1023 -- ./leaky",
         "invalid value '1023' for --sample-bytes (1024 to 1073741824 bytes)"},
        {"--record --stacks --sample-bytes 1073741825 -- ./leaky",
         "invalid value '1073741825' for --sample-bytes (1024 to 1073741824 bytes)"},
        {"--analyze a.csv --stacks", "option '--stacks' needs --record"},
        {"--serve", "--serve needs at least one --match NAME or --pid PID"},
        {"--serve --match a --record 5", "--serve cannot be combined with --record or --analyze"},
        {"--serve --pid 5 --csv x.csv", "option '--csv' does not go with --serve"},
        {"--record 5 --match a", "option '--match' needs --serve"},
        {"--serve --match a/b", "invalid value 'a/b' for --match (a process name, without '/')"},
        {"--serve --match=", "invalid value '' for --match (a process name, without '/')"},
        {"--serve --pid 0", "invalid PID '0'"},
        {"--serve --pid 1 --window 0", "invalid value '0' for --window (1 to 10080 minutes)"},
        {"--serve --pid 1 --serve", "option '--serve' given twice"},
        {"--analyze a.csv --plot a.pdf", "the plot's FILE must end in .svg or .png: 'a.pdf'"},
        {"--analyze a.csv --plot .svg", "the plot's FILE must end in .svg or .png: '.svg'"},
        {"--analyze a.csv --plot a.png --plot-size 199x600", "invalid value '199x600' for --plot-size (WIDTHxHEIGHT, each 200 to 8000)"},
        {"--analyze a.csv --plot a.png --plot-size 800", "invalid value '800' for --plot-size (WIDTHxHEIGHT, each 200 to 8000)"},
        {"--analyze a.csv --plot-size 800x600", "option '--plot-size' needs --plot"},
        {"--analyze a.csv --fail-on-regression", "option '--fail-on-regression' needs --compare"},
        {"--compare a.csv", "--compare needs two logs: BEFORE AFTER"},
        {"--compare a.csv b.csv --fail-on-leak", "option '--fail-on-leak' does not go with --compare"},
        {"--compare a.csv b.csv --analyze c.csv", "--compare cannot be combined with --analyze or --record"},
    };
    for (const auto& [line, message] : cases) {
        CliOptions o;
        std::string error;
        EXPECT_FALSE(Parse(line, o, error)) << line;
        EXPECT_EQ(error, message) << line;
    }
}

TEST(CliOptions, ServeLinesGiveTheirRecord) {
    struct Case {
        std::string line;
        std::string listen;  // as ListenAddressText writes it; empty: a usage error
        std::vector<std::string> names;
        std::vector<int32_t> pids;
        int64_t intervalMs, windowMinutes;
        float growthMB;
    };
    const Case cases[] = {
        {"--serve --match nginx", "127.0.0.1:9464", {"nginx"}, {}, 10000, 60, 200},
        {"--serve --match a --pid 7 --match b --pid 9 --interval 500 --window 5", "127.0.0.1:9464", {"a", "b"},
         {7, 9}, 500, 5, 200},
        {"--serve --pid 7 --profile menu-bar --listen [::1]:0", "[::1]:0", {}, {7}, 10000, 60, 50},
        {"--serve --pid 7 --listen :9100", "0.0.0.0:9100", {}, {7}, 10000, 60, 200},
        {"--serve --pid 7 --listen localhost:80", "127.0.0.1:80", {}, {7}, 10000, 60, 200},
        {"--serve --pid 7 --listen 10.0.0.1", "", {}, {}, 0, 0, 0},
        {"--serve --pid 7 --listen 127.0.0.1:65536", "", {}, {}, 0, 0, 0},
        {"--serve --pid 7 --listen host.example:80", "", {}, {}, 0, 0, 0},
        {"--serve --pid 7 --listen ::1:80", "", {}, {}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        CliOptions o;
        std::string error;
        SCOPED_TRACE(c.line);
        if (c.listen.empty()) {
            EXPECT_FALSE(Parse(c.line, o, error));
            continue;
        }
        ASSERT_TRUE(Parse(c.line, o, error)) << error;
        EXPECT_EQ(o.mode, CliMode::Serve);
        EXPECT_EQ(ListenAddressText(o.listen), c.listen);
        EXPECT_EQ(o.matchNames, c.names);
        EXPECT_EQ(o.watchPids, c.pids);
        EXPECT_EQ(EffectiveIntervalMs(o), c.intervalMs);
        EXPECT_EQ(o.windowMinutes, c.windowMinutes);
        EXPECT_EQ(o.growthLimitMB, c.growthMB);
    }
}

// The messages are the string table's, in the loaded language, with each value put in once and
// byte for byte as it was typed.
TEST(CliOptions, MessagesAreTheStringTablesWithTheValuesAsTyped) {
    const std::tuple<const char16_t*, std::string, std::string> cases[] = {
        {u"de", "--record 5 --streak 11", "ungültiger Wert '11' für --streak (1 bis 10)"},
        {u"fr", "--analyse", "option inconnue '--analyse'"},
        {u"en", "--record 5 --interval %2", "invalid value '%2' for --interval (100 to 60000 ms)"},
        {u"en", "log\xff%1.csv", "unexpected argument 'log\xff%1.csv'"},
    };
    for (const auto& [language, line, message] : cases) {
        LoadStringTable(language);
        CliOptions o;
        std::string error;
        EXPECT_FALSE(Parse(line, o, error)) << line;
        EXPECT_EQ(error, message) << line;
    }
    LoadStringTable(u"en");
}

}  // namespace
