// Watching many processes at once, by name and PID, for a server that hands their figures on:
// one monitoring session per process (the window's tick: the figures, the alarms, the settled
// baseline), the footprints of a recent window for the leak test, and which processes began and
// ended being watched at each interval.
//
// A process is named for good by its PID and start time: a restarted service is a new process with
// a fresh history, and a PID handed on to another process never carries the old one's figures.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "analysis/leak_test.h"
#include "monitor/sampler.h"
#include "platform/process_info.h"
#include "platform/process_table.h"

struct WatchSettings {
    std::vector<std::string> names;  // processes whose command or executable's file name is one
    std::vector<int32_t> pids;       // processes with one of these PIDs
    int64_t intervalMs{10000};
    int64_t windowMinutes{60};       // the span of footprints the leak test reads
    int64_t streakThreshold{3};
    float growthLimitMB{200.0f};
};

// At most this many footprints a process for its leak test: beyond, each kept point is the lowest
// of a run of samples (the test reads the lower envelope), so memory stays bounded.
inline constexpr int64_t MaxWindowPoints = 36000;

struct WatchKey {
    int32_t pid{};
    uint64_t startTime{};
    auto operator<=>(const WatchKey&) const = default;
};

// A watched process's figures after its last tick.
struct WatchedFigures {
    int64_t footprintBytes{}, virtualBytes{};
    int32_t threads{};
    int64_t pageFaults{}, pageIns{};  // since the process started
    bool streakAlarm{}, growthAlarm{};
    int64_t growthBytes{};            // over the settled baseline
    LeakOutcome leak{LeakOutcome::Inconclusive};
    double leakSlopeBytesPerSecond{};
};

struct WatchedProcess {
    WatchKey key;
    std::string name;  // the --match name it answered to, else its own name
    WatchedFigures figures;
    // The session, its readings and its leak window; the watch's own.
    struct State;
    std::unique_ptr<State> state;
    WatchedProcess();
    WatchedProcess(WatchedProcess&&) noexcept;
    ~WatchedProcess();
};

// Which processes an interval began and stopped watching.
struct WatchChanges {
    std::vector<WatchKey> started;  // in the map from now on, with the figures of a first tick
    std::vector<WatchKey> ended;    // gone from the map
};

class ProcessWatch {
public:
    // provider: where the readings come from (the system's, unless a test gives its own).
    explicit ProcessWatch(WatchSettings settings, ProcessProvider& provider = SystemProcessProvider());
    ~ProcessWatch();

    // One interval at nowSeconds of a steady clock: the process table refreshed, processes newly
    // selected start being watched, every watched one ticks (and runs its leak test when due), and
    // those that ended are dropped.
    WatchChanges Tick(double nowSeconds);

    const std::map<WatchKey, WatchedProcess>& Processes() const { return watched_; }
    const WatchSettings& Settings() const { return settings_; }
    ProcessTable& Table() { return table_; }

private:
    bool StartWatching(ProcessTableEntry& entry, const std::string& name, double now, WatchChanges& changes);
    bool ChosenByPid(const WatchKey& key);

    WatchSettings settings_;
    ProcessProvider& provider_;
    ProcessTable table_;
    std::map<WatchKey, WatchedProcess> watched_;
    std::set<WatchKey> unreadable_;
    std::map<int32_t, uint64_t> pidStartTimes_;  // --pid: the process first seen with the PID
};

// Whether a process answers to a --match name: its command name or its executable's file name is
// the name. Where the executable cannot be read (another user's process), a command name of 15
// bytes, which the kernel cut there, answers to the longer names it begins.
bool MatchesWatchName(const std::string& name, const std::string& commandName, const std::string& executableName);
