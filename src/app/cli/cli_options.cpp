#include "app/cli/cli_options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>

#include "app/cli/cli_text.h"
#include "app/cli/plot_output.h"

namespace {

constexpr double MaxDurationSec = 7.0 * 24 * 3600;

// A whole decimal number, all of the text, within [low, high].
bool ParseWhole(std::string_view text, int64_t low, int64_t high, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    value = std::stoll(std::string(text));
    return value >= low && value <= high;
}

// "WIDTHxHEIGHT" (or with "×"), each 200 to 8000 pixels.
bool ParsePlotSize(std::string_view text, int& width, int& height) {
    size_t cross = text.find('x'), length = 1;
    if (cross == std::string_view::npos) cross = text.find("\u00d7"), length = 2;
    if (cross == std::string_view::npos) return false;
    int64_t w = 0, h = 0;
    if (!ParseWhole(text.substr(0, cross), 200, 8000, w) || !ParseWhole(text.substr(cross + length), 200, 8000, h))
        return false;
    width = int(w), height = int(h);
    return true;
}

// A plain decimal number of seconds ("30", "2.5"), all of the text, above 0 and at most a week.
bool ParseSeconds(std::string_view text, double& value) {
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    if (std::count(text.begin(), text.end(), '.') > 1) return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }))
        return false;
    value = std::strtod(std::string(text).c_str(), nullptr);
    return value > 0.0 && value <= MaxDurationSec;
}

struct Parser {
    CliOptions& o;
    std::string& error;
    std::set<std::string> seen;
    bool growthGiven{};
    bool streakGiven{};
    const CliProfile* profile{};

    bool Fail(const std::string& message) {
        error = message;
        return false;
    }
    bool Value(const std::string& name, const std::string& value);
    bool Flag(const std::string& name);
};

bool Parser::Value(const std::string& name, const std::string& value) {
    auto invalid = [&](TextId range) {
        return Fail(FilledText(TextId::InvalidValue, {value, name, FilledText(range)}));
    };
    if (name == "--analyze") {
        if (value.empty()) return Fail(FilledText(TextId::OptionNeedsFile, {name}));
        o.logPath = value;
    } else if (name == "--interval") {
        if (!ParseWhole(value, MinIntervalMs, MaxIntervalMs, o.intervalMs)) return invalid(TextId::IntervalRange);
    } else if (name == "--duration") {
        if (!ParseSeconds(value, o.durationSec)) return invalid(TextId::DurationRange);
    } else if (name == "--plot") {
        bool svg = false;
        if (value.empty()) return Fail(FilledText(TextId::OptionNeedsFile, {name}));
        if (!PlotFormatOf(value, svg)) return Fail(FilledText(TextId::PlotFileKind, {value}));
        o.plotPath = value;
    } else if (name == "--plot-size") {
        if (!ParsePlotSize(value, o.plotWidth, o.plotHeight)) return invalid(TextId::PlotSizeRange);
    } else if (name == "--csv" || name == "--children-csv") {
        if (value.empty()) return Fail(FilledText(TextId::OptionNeedsFile, {name}));
        (name == "--csv" ? o.csvPath : o.childrenCsvPath) = value;
    } else if (name == "--profile") {
        auto match = [&](const CliProfile& p) { return value == p.name; };
        const CliProfile* found = std::find_if(std::begin(CliProfiles), std::end(CliProfiles), match);
        if (found == std::end(CliProfiles)) return invalid(TextId::ProfileChoices);
        profile = found;
    } else if (name == "--growth-limit") {
        int64_t mb = 0;
        if (!ParseWhole(value, 10, 999, mb)) return invalid(TextId::GrowthLimitRange);
        o.growthLimitMB = static_cast<float>(mb);
        growthGiven = true;
    } else if (name == "--sample-bytes") {
        if (!ParseWhole(value, MinSampleBytes, MaxSampleBytes, o.sampleBytes)) return invalid(TextId::SampleBytesRange);
    } else if (name == "--stacks-out") {
        if (value.empty()) return Fail(FilledText(TextId::OptionNeedsFile, {name}));
        o.stacksPath = value;
    } else if (name == "--max-footprint" || name == "--max-growth") {
        int64_t& mb = name == "--max-footprint" ? o.maxFootprintMB : o.maxGrowthMB;
        if (!ParseWhole(value, 1, MaxBudgetMB, mb)) return invalid(TextId::BudgetRange);
    } else if (name == "--streak") {
        if (!ParseWhole(value, 1, 10, o.streakThreshold)) return invalid(TextId::StreakRange);
        streakGiven = true;
    } else if (name == "--listen") {
        if (!ParseListenAddress(value, o.listen)) return invalid(TextId::ListenRange);
    } else if (name == "--match") {
        // A name as the kernel keeps it: no folder, nothing that could not be a file name.
        auto control = [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; };
        if (value.empty() || value.size() > 255 || value.find('/') != std::string::npos ||
            std::any_of(value.begin(), value.end(), control))
            return invalid(TextId::MatchRange);
        o.matchNames.push_back(value);
    } else if (name == "--pid") {
        int64_t pid = 0;
        if (!ParseWhole(value, 1, 2147483647, pid)) return Fail(FilledText(TextId::InvalidPid, {value}));
        o.watchPids.push_back(int32_t(pid));
    } else if (name == "--window") {
        if (!ParseWhole(value, 1, MaxWindowMinutes, o.windowMinutes)) return invalid(TextId::WindowRange);
    }
    return true;
}

bool Parser::Flag(const std::string& name) {
    if (name == "--include-children") o.includeChildren = true;
    else if (name == "--json") o.json = true;
    else if (name == "--fail-on-leak") o.failOnLeak = true;
    else if (name == "--quiet") o.quiet = true;
    else if (name == "--stacks") o.stacks = true;
    else if (name == "--serve") o.mode = CliMode::Serve;
    else if (name == "--fail-on-regression") o.failOnRegression = true;
    return true;
}

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == n; });
}

bool IsValueOption(const std::string& name) {
    return OneOf(name, {"--analyze", "--interval", "--duration", "--csv", "--children-csv", "--profile",
                        "--growth-limit", "--streak", "--sample-bytes", "--stacks-out", "--max-footprint",
                        "--max-growth", "--listen", "--match", "--pid", "--window", "--plot", "--plot-size"});
}
bool IsFlagOption(const std::string& name) {
    return OneOf(name, {"--include-children", "--json", "--fail-on-leak", "--quiet", "--stacks", "--serve",
                        "--fail-on-regression"});
}

// Options that only a recording takes.
bool RecordOnly(const std::string& name) {
    return !OneOf(name, {"--json", "--fail-on-leak", "--analyze", "--plot", "--plot-size", "--fail-on-regression"});
}

// The rules of --compare and of the options that go with another.
bool CheckCompare(Parser& p, bool compare, bool analyze, bool recordGiven) {
    if (compare && (analyze || recordGiven)) return p.Fail(FilledText(TextId::CompareWithOther));
    if (p.seen.count("--plot-size") && !p.seen.count("--plot"))
        return p.Fail(FilledText(TextId::OptionNeedsOption, {"--plot-size", "--plot"}));
    if (!compare && p.seen.count("--fail-on-regression"))
        return p.Fail(FilledText(TextId::OptionNeedsOption, {"--fail-on-regression", "--compare"}));
    for (const std::string& name : p.seen)
        if (compare && !OneOf(name, {"--compare", "--json", "--plot", "--plot-size", "--fail-on-regression"}))
            return p.Fail(FilledText(TextId::OptionNotWithCompare, {name}));
    if (compare) p.o.mode = CliMode::Compare;
    return true;
}

// Options that only --serve takes, and those it shares with a recording.
bool ServeOnly(const std::string& name) { return OneOf(name, {"--listen", "--match", "--pid", "--window"}); }
bool TakenByServe(const std::string& name) {
    return ServeOnly(name) || OneOf(name, {"--serve", "--interval", "--profile", "--growth-limit", "--streak"});
}
// Options given more than once add to their list.
bool Repeatable(const std::string& name) { return OneOf(name, {"--match", "--pid"}); }

void ApplyProfile(Parser& p) {
    if (!p.profile) return;
    if (!p.growthGiven) p.o.growthLimitMB = p.profile->growthLimitMB;
    if (!p.streakGiven) p.o.streakThreshold = p.profile->streakThreshold;
}

bool FinishServe(Parser& p, bool recordGiven) {
    if (recordGiven || p.seen.count("--analyze")) return p.Fail(FilledText(TextId::ServeAlone));
    for (const std::string& name : p.seen)
        if (!TakenByServe(name)) return p.Fail(FilledText(TextId::OptionNotWithServe, {name}));
    if (p.o.matchNames.empty() && p.o.watchPids.empty()) return p.Fail(FilledText(TextId::ServeNeedsTarget));
    ApplyProfile(p);
    return true;
}

// The mode's own rules once every option is read.
bool Finish(Parser& p, bool recordGiven) {
    CliOptions& o = p.o;
    if (o.mode == CliMode::Serve) return FinishServe(p, recordGiven);
    bool analyze = p.seen.count("--analyze") > 0;
    const bool compare = p.seen.count("--compare") > 0;
    if (analyze && recordGiven) return p.Fail(FilledText(TextId::AnalyzeWithRecord));
    if (!CheckCompare(p, compare, analyze, recordGiven)) return false;
    if (compare) return true;
    for (const std::string& name : p.seen) {
        if (name == "--analyze" || name == "--record") continue;
        if (ServeOnly(name)) return p.Fail(FilledText(TextId::OptionNeedsServe, {name}));
        if (!analyze && !recordGiven) return p.Fail(FilledText(TextId::OptionNeedsMode, {name}));
        if (analyze && RecordOnly(name)) return p.Fail(FilledText(TextId::OptionNeedsRecord, {name}));
    }
    if (analyze) {
        o.mode = CliMode::Analyze;
        return true;
    }
    if (!recordGiven) return p.Fail(FilledText(TextId::NothingToDo));
    if (o.pid == 0 && o.command.empty()) return p.Fail(FilledText(TextId::RecordNeedsTarget));
    if (o.pid != 0 && !o.command.empty()) return p.Fail(FilledText(TextId::RecordTakesOneTarget));
    // The sampler is preloaded into a command as it starts; a running process cannot take it.
    if (o.stacks && o.command.empty()) return p.Fail(FilledText(TextId::StacksNeedCommand));
    for (const char* name : {"--sample-bytes", "--stacks-out"})
        if (p.seen.count(name) && !o.stacks) return p.Fail(FilledText(TextId::OptionNeedsStacks, {name}));
    if (p.seen.count("--children-csv") && !o.includeChildren)
        return p.Fail(FilledText(TextId::OptionNeedsOption, {"--children-csv", "--include-children"}));
    ApplyProfile(p);
    o.mode = CliMode::Record;
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error) {
    options = CliOptions{};
    if (argc < 2) return true;
    Parser p{options, error, {}};
    bool recordGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            if (!recordGiven) return p.Fail(FilledText(TextId::DashesNeedRecord));
            if (i + 1 >= argc) return p.Fail(FilledText(TextId::DashesNeedCommand));
            options.command.assign(argv + i + 1, argv + argc);
            break;
        }
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            options.mode = arg == "--version" ? CliMode::Version : CliMode::Help;
            return true;
        }
        std::string name = arg.substr(0, arg.find('='));
        bool inlineValue = name.size() < arg.size();
        if (!IsValueOption(name) && !IsFlagOption(name) && name != "--record" && name != "--compare")
            return p.Fail(arg.rfind("-", 0) == 0 ? FilledText(TextId::UnknownOption, {name})
                                                 : FilledText(TextId::UnexpectedArgument, {arg}));
        if (!p.seen.insert(name).second && !Repeatable(name))
            return p.Fail(FilledText(TextId::OptionGivenTwice, {name}));
        if (name == "--record") {
            if (inlineValue) return p.Fail(FilledText(TextId::RecordTakesNoEquals));
            recordGiven = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                int64_t pid = 0;
                if (!ParseWhole(argv[i + 1], 1, 2147483647, pid))
                    return p.Fail(FilledText(TextId::InvalidPid, {argv[i + 1]}));
                options.pid = static_cast<int32_t>(pid);
                ++i;
            }
            continue;
        }
        if (name == "--compare") {
            // Two logs follow; the first may also be given as --compare=BEFORE.
            std::string first = inlineValue ? arg.substr(name.size() + 1) : i + 1 < argc ? argv[++i] : "";
            if (first.empty() || i + 1 >= argc || argv[i + 1][0] == '\0')
                return p.Fail(FilledText(TextId::CompareNeedsTwoLogs));
            options.before = first;
            options.after = argv[++i];
            continue;
        }
        if (IsFlagOption(name)) {
            if (inlineValue) return p.Fail(FilledText(TextId::OptionTakesNoValue, {name}));
            p.Flag(name);
            continue;
        }
        std::string value;
        if (inlineValue) value = arg.substr(name.size() + 1);
        else if (i + 1 < argc) value = argv[++i];
        else return p.Fail(FilledText(TextId::OptionNeedsValue, {name}));
        if (!p.Value(name, value)) return false;
    }
    return Finish(p, recordGiven);
}

int64_t EffectiveIntervalMs(const CliOptions& options) {
    if (options.intervalMs > 0) return options.intervalMs;
    if (options.mode == CliMode::Serve) return ServeIntervalMs;
    if (options.durationSec <= 0.0) return DefaultIntervalMs;
    // Beyond 5 h the spread passes --interval's 60 s: still 300 samples over the whole run.
    double spread = std::floor(options.durationSec * 1000.0 / SamplesPerDuration);
    return static_cast<int64_t>(std::max(spread, double(MinIntervalMs)));
}

int64_t SampleLimit(const CliOptions& options) {
    return options.intervalMs == 0 && options.durationSec > 0.0 ? SamplesPerDuration : 0;
}

bool ParseListenAddress(std::string_view text, ListenAddress& out) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    std::string host(text.substr(0, colon));
    int64_t port = 0;
    if (!ParseWhole(text.substr(colon + 1), 0, 65535, port)) return false;
    ListenAddress address{std::string(), false, int(port)};
    unsigned char bytes[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        address.host = host.substr(1, host.size() - 2);
        address.ipv6 = true;
        if (inet_pton(AF_INET6, address.host.c_str(), bytes) != 1) return false;
    } else if (host == "localhost") {
        address.host = "127.0.0.1";
    } else if (!host.empty()) {
        if (inet_pton(AF_INET, host.c_str(), bytes) != 1) return false;
        address.host = host;
    }
    out = address;
    return true;
}

std::string ListenAddressText(const ListenAddress& address) {
    const std::string host = address.host.empty() ? "0.0.0.0" : address.host;
    return (address.ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(address.port);
}
