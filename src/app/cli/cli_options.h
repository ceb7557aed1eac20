// The command line read into one plain record: which road (window, help, version, analyze,
// record, serve) and every option's value, checked against its range. Nothing here runs anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class CliMode { Window, Help, Version, Analyze, Record, Serve, Compare };

// The leak limits of the window's profiles, by their command-line names.
struct CliProfile {
    const char* name;
    float growthLimitMB;
    int64_t streakThreshold;
};
inline constexpr CliProfile CliProfiles[] = {
    {"default", 200.0f, 3}, {"menu-bar", 50.0f, 5}, {"file-converter", 500.0f, 2}};

inline constexpr int64_t MinIntervalMs = 100;
inline constexpr int64_t MaxIntervalMs = 60000;
inline constexpr int64_t DefaultIntervalMs = 1000;
// The analysis reads the last this many samples; a --duration alone spreads them over the run
// and takes no more, so that the report and --analyze of its CSV read the same samples.
inline constexpr int64_t SamplesPerDuration = 300;
// --sample-bytes: the mean distance in allocated bytes between sampled allocations.
inline constexpr int64_t MinSampleBytes = 1024;
inline constexpr int64_t MaxSampleBytes = int64_t(1) << 30;
// The range of --max-footprint and --max-growth, in MB.
inline constexpr int64_t MaxBudgetMB = 1048576;
// --serve's sampling interval and leak-test window when not given.
inline constexpr int64_t ServeIntervalMs = 10000;
inline constexpr int64_t DefaultWindowMinutes = 60;
inline constexpr int64_t MaxWindowMinutes = 7 * 24 * 60;

// Where --serve listens: a numeric address (empty: every IPv4 address) and a port (0: any free one).
struct ListenAddress {
    std::string host;
    bool ipv6{};
    int port{9464};
};

struct CliOptions {
    CliMode mode{CliMode::Window};
    std::string logPath;               // --analyze FILE
    int32_t pid{};                     // --record PID; 0 when a command is started instead
    std::vector<std::string> command;  // --record -- COMMAND [ARG...]
    int64_t intervalMs{};              // 0: not given
    double durationSec{};              // 0: until the target ends or a signal
    std::string csvPath;
    float growthLimitMB{200.0f};
    int64_t maxFootprintMB{};          // --max-footprint; 0: none
    int64_t maxGrowthMB{};             // --max-growth over the settled baseline; 0: none
    int64_t streakThreshold{3};
    bool includeChildren{};
    std::string childrenCsvPath;       // --children-csv FILE: each member's footprint at each sample
    bool json{};
    bool failOnLeak{};
    bool quiet{};
    bool stacks{};              // --stacks: sample the command's allocation stacks
    int64_t sampleBytes{};      // --sample-bytes; 0: the sampler's default
    std::string stacksPath;     // --stacks-out FILE: every stack's live bytes, folded
    // --serve
    ListenAddress listen{"127.0.0.1", false, 9464};
    std::vector<std::string> matchNames;  // --match, in the order given
    std::vector<int32_t> watchPids;       // --pid
    int64_t windowMinutes{DefaultWindowMinutes};
    std::string plotPath;              // --plot FILE: .svg or .png
    int plotWidth{1200}, plotHeight{600};  // --plot-size WxH
    std::string before, after;         // --compare BEFORE AFTER
    bool failOnRegression{};
};

// Reads argv[1..]. False with a one-line message (in the loaded string table's language, without
// "quolk: " and without a line end) in error for wrong usage; then options is unspecified.
bool ParseCommandLine(int argc, const char* const* argv, CliOptions& options, std::string& error);

// "127.0.0.1:9464", "[::1]:9464", "localhost:9464" (the loopback address), ":9464" (every IPv4
// address); the port 0 to 65535. False for anything else: no names are looked up.
bool ParseListenAddress(std::string_view text, ListenAddress& out);
// The address as civetweb and the messages write it: "127.0.0.1:9464", "[::1]:9464", "0.0.0.0:9464".
std::string ListenAddressText(const ListenAddress& address);

// The sampling interval of a recording: --interval when given; else duration / 300 but at least
// 100 ms when --duration is given, so the analysed samples span the whole run; else 1000 ms.
// --serve's: --interval when given, else 10000 ms.
int64_t EffectiveIntervalMs(const CliOptions& options);
// The most samples a recording takes: 300 for a --duration without --interval, else no limit (0).
int64_t SampleLimit(const CliOptions& options);
