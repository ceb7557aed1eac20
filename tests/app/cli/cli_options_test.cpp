// Reading the command line into its record: every option's range, the rules between options, and
// the interval a recording samples at.
#include "app/cli/cli_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
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

// The record in words, with what differs from a line without options: "record pid=7 every=2000 json".
std::string Describe(const CliOptions& o) {
    static const char* const modes[] = {"window", "help", "version", "analyze", "record", "serve", "compare"};
    std::ostringstream s;
    s << modes[int(o.mode)];
    auto add = [&](bool shown, const std::string& word) {
        if (shown) s << ' ' << word;
    };
    add(!o.logPath.empty(), "log=" + o.logPath);
    add(o.pid != 0, "pid=" + std::to_string(o.pid));
    for (const std::string& word : o.command) s << " cmd=" << word;
    add(o.mode == CliMode::Record || o.mode == CliMode::Serve, "every=" + std::to_string(EffectiveIntervalMs(o)));
    add(SampleLimit(o) != 0, "limit=" + std::to_string(SampleLimit(o)));
    add(o.growthLimitMB != 200.0f, "growth=" + std::to_string(int(o.growthLimitMB)));
    add(o.streakThreshold != 3, "streak=" + std::to_string(o.streakThreshold));
    add(o.maxFootprintMB != 0, "max-footprint=" + std::to_string(o.maxFootprintMB));
    add(o.maxGrowthMB != 0, "max-growth=" + std::to_string(o.maxGrowthMB));
    for (const auto& [on, name] : {std::pair(o.json, "json"), {o.failOnLeak, "fail-on-leak"},
                                   {o.includeChildren, "children"}, {o.quiet, "quiet"}, {o.stacks, "stacks"},
                                   {o.failOnRegression, "fail-on-regression"}})
        add(on, name);
    add(o.sampleBytes != 0, "sample-bytes=" + std::to_string(o.sampleBytes));
    add(!o.stacksPath.empty(), "stacks-out=" + o.stacksPath);
    const std::string size = std::to_string(o.plotWidth) + "x" + std::to_string(o.plotHeight);
    add(!o.plotPath.empty(), "plot=" + o.plotPath + " " + size);
    add(!o.before.empty(), "compare=" + o.before + "," + o.after);
    const std::string window = " window=" + std::to_string(o.windowMinutes);
    add(o.mode == CliMode::Serve, "listen=" + ListenAddressText(o.listen) + window);
    for (const std::string& name : o.matchNames) s << " match=" << name;
    for (int32_t pid : o.watchPids) s << " pid=" << pid;
    return s.str();
}

TEST(CliOptions, GoodLinesGiveTheirRecord) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "window"},
        {"--analyze log.csv --json", "analyze log=log.csv json"},
        {"--fail-on-leak --analyze=log.csv", "analyze log=log.csv fail-on-leak"},
        {"--record 812 --interval 100 --quiet", "record pid=812 every=100 quiet"},
        {"--record --interval=60000 -- ./leaky --fast -x", "record cmd=./leaky cmd=--fast cmd=-x every=60000"},
        {"--record 7 --profile menu-bar", "record pid=7 every=1000 growth=50 streak=5"},
        {"--growth-limit 10 --record 7 --profile menu-bar --streak 1 --include-children --json --fail-on-leak",
         "record pid=7 every=1000 growth=10 streak=1 json fail-on-leak children"},
        // A duration alone spreads the 300 analysed samples over the run, never below 100 ms.
        {"--record 7 --duration 600", "record pid=7 every=2000 limit=300"},
        {"--record 7 --duration 2.5", "record pid=7 every=100 limit=300"},
        {"--record 7 --duration 600 --interval 500", "record pid=7 every=500"},
        {"--record 5 --max-footprint 1 --max-growth=1048576",
         "record pid=5 every=1000 max-footprint=1 max-growth=1048576"},
        {"--record --stacks --sample-bytes 4096 --stacks-out=s.folded -- ./leaky",
         "record cmd=./leaky every=1000 stacks sample-bytes=4096 stacks-out=s.folded"},
        {"--record 7 --plot run.png --plot-size 800x8000", "record pid=7 every=1000 plot=run.png 800x8000"},
        {"--compare a.csv b.csv --fail-on-regression --plot=c.svg --plot-size 640\u00d7480",
         "compare fail-on-regression plot=c.svg 640x480 compare=a.csv,b.csv"},
        {"--serve --match a --pid 7 --match b --pid 9 --interval 500 --window 5",
         "serve every=500 listen=127.0.0.1:9464 window=5 match=a match=b pid=7 pid=9"},
        {"--serve --pid 7 --profile menu-bar --listen [::1]:0",
         "serve every=10000 growth=50 streak=5 listen=[::1]:0 window=60 pid=7"},
    };
    for (const auto& [line, record] : cases) {
        CliOptions o;
        std::string error;
        EXPECT_TRUE(Parse(line, o, error)) << line << ": " << error;
        EXPECT_EQ(Describe(o), record) << line;
    }
}

TEST(CliOptions, EveryWrongLineSaysWhatIsWrong) {
    LoadStringTable(u"en");
    const std::pair<std::string, std::string> cases[] = {
        {"--analyse x", "unknown option '--analyse'"},
        {"log.csv", "unexpected argument 'log.csv'"},
        {"--analyze", "option '--analyze' needs a value"},
        {"--analyze a.csv --record 5", "--analyze and --record cannot be combined"},
        {"--analyze a.csv --csv out.csv", "option '--csv' needs --record"},
        {"--json", "option '--json' needs --record or --analyze"},
        {"--record", "--record needs a PID or '-- COMMAND'"},
        {"--record 5 -- sleep 1", "--record takes a PID or '-- COMMAND', not both"},
        {"--record 0", "invalid PID '0'"},
        {"--record=5", "option '--record' takes no '='; write --record PID"},
        {"--record 5 --json=yes", "option '--json' takes no value"},
        {"-- sleep 1", "'--' needs --record before it"},
        {"--record --", "'--' needs a COMMAND after it"},
        {"--record 5 --interval 99", "invalid value '99' for --interval (100 to 60000 ms)"},
        {"--record 5 --duration 1.", "invalid value '1.' for --duration (seconds above 0, at most 604800)"},
        {"--record 5 --profile custom", "invalid value 'custom' for --profile (default, menu-bar or file-converter)"},
        {"--record 5 --stacks", "--stacks needs '-- COMMAND': a running process cannot be given the sampling library"},
        {"--record 5 --children-csv k.csv", "option '--children-csv' needs --include-children"},
        {"--serve", "--serve needs at least one --match NAME or --pid PID"},
        {"--serve --match a --record 5", "--serve cannot be combined with --record or --analyze"},
        {"--serve --pid 5 --csv x.csv", "option '--csv' does not go with --serve"},
        {"--serve --match a/b", "invalid value 'a/b' for --match (a process name, without '/')"},
        {"--serve --pid 7 --listen host.example:80",
         "invalid value 'host.example:80' for --listen (ADDRESS:PORT with a numeric address: 127.0.0.1:9464, "
         "[::1]:9464, or :9464 for every address)"},
        {"--analyze a.csv --plot a.pdf", "the plot's FILE must end in .svg or .png: 'a.pdf'"},
        {"--compare a.csv", "--compare needs two logs: BEFORE AFTER"},
        {"--compare a.csv b.csv --fail-on-leak", "option '--fail-on-leak' does not go with --compare"},
        {"--compare a.csv b.csv --analyze c.csv", "--compare cannot be combined with --analyze or --record"},
        // Each value put in once, byte for byte as it was typed.
        {"--record 5 --interval %2", "invalid value '%2' for --interval (100 to 60000 ms)"},
        {"log\xff%1.csv", "unexpected argument 'log\xff%1.csv'"},
    };
    for (const auto& [line, message] : cases) {
        CliOptions o;
        std::string error;
        EXPECT_FALSE(Parse(line, o, error)) << line;
        EXPECT_EQ(error, message) << line;
    }
}

}  // namespace
