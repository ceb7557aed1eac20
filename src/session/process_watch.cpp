#include "session/process_watch.h"

#include <algorithm>
#include <cmath>

#include "session/session.h"

struct WatchedProcess::State {
    explicit State(ProcessProvider& provider) { context.services.processes = &provider; }
    SessionContext context;
    // The leak test's footprints: points[first..] are those of the window.
    std::vector<LeakPoint> points;
    size_t first{};
    LeakPoint block{};  // the lowest of the samples since the last kept point
    int64_t blockSamples{};
    double lastLeakRun{-INFINITY};
};

WatchedProcess::WatchedProcess() = default;
WatchedProcess::WatchedProcess(WatchedProcess&&) noexcept = default;
WatchedProcess::~WatchedProcess() {
    if (state) CloseHeldTarget(state->context.session.held);
}

namespace {

// Samples folded into one kept point, so that a window holds at most MaxWindowPoints.
int64_t SamplesPerPoint(const WatchSettings& s) {
    const int64_t samples = s.windowMinutes * 60000 / std::max<int64_t>(s.intervalMs, 1);
    return std::max<int64_t>(1, (samples + MaxWindowPoints - 1) / MaxWindowPoints);
}

// The figures of a tick that read the process, into the watched process's record and its window.
void TakeTick(WatchedProcess& p, const TickRecord& r, const WatchSettings& settings, double now) {
    WatchedProcess::State& st = *p.state;
    const MonitorSession& s = st.context.session;
    WatchedFigures& f = p.figures;
    f.footprintBytes = s.prevFootprint;
    f.virtualBytes = r.figures.virtualBytes;
    f.threads = r.figures.threads;
    // The tick's counters run from the baseline, which this very tick may have moved.
    f.pageFaults = r.figures.pageFaults + s.basePageFaults;
    f.pageIns = r.figures.pageIns + s.basePageIns;
    f.streakAlarm = r.figures.streakAlert;
    f.growthAlarm = r.figures.growthAlert;
    f.growthBytes = s.prevFootprint - s.baselineFootprint;

    const LeakPoint point{now, double(s.prevFootprint) / 1048576.0};
    if (st.blockSamples == 0 || point.footprintMB < st.block.footprintMB) st.block = point;
    if (++st.blockSamples >= SamplesPerPoint(settings)) {
        st.points.push_back(st.block);
        st.blockSamples = 0;
    }
    const double windowSec = double(settings.windowMinutes) * 60.0, intervalSec = double(settings.intervalMs) / 1000.0;
    while (st.first < st.points.size() && st.points[st.first].seconds < now - windowSec) ++st.first;
    if (st.first > 1024 && st.first * 2 > st.points.size()) {
        st.points.erase(st.points.begin(), st.points.begin() + ptrdiff_t(st.first));
        st.first = 0;
    }
    // The test's cost grows with the window's points: a long window is judged less often, at most
    // 360 times a window, which still follows it closely.
    if (now - st.lastLeakRun < std::max(intervalSec, windowSec / 360.0) - intervalSec / 2) return;
    st.lastLeakRun = now;
    const LeakTestResult result = RunLeakTest(std::span(st.points).subspan(st.first));
    f.leak = result.outcome;
    f.leakSlopeBytesPerSecond = MBpsToBytesPerSecond(result.slopeMBps);
}

// The --match name a process answers to; nullptr for none.
const std::string* MatchedName(ProcessTable& table, ProcessTableEntry& entry, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        if (name == entry.commandName) return &name;
    if (names.empty()) return nullptr;
    const std::string& executable = table.ExecutableName(entry);
    for (const std::string& name : names)
        if (MatchesWatchName(name, entry.commandName, executable)) return &name;
    return nullptr;
}

}  // namespace

bool MatchesWatchName(const std::string& name, const std::string& commandName, const std::string& executableName) {
    if (name == commandName || (!executableName.empty() && name == executableName)) return true;
    constexpr size_t CommandNameBytes = 15;
    return executableName.empty() && commandName.size() == CommandNameBytes && name.size() > CommandNameBytes &&
           name.starts_with(commandName);
}

ProcessWatch::ProcessWatch(WatchSettings settings, ProcessProvider& provider)
    : settings_(std::move(settings)), provider_(provider) {}

ProcessWatch::~ProcessWatch() = default;

bool ProcessWatch::StartWatching(ProcessTableEntry& entry, const std::string& name, double now,
                                 WatchChanges& changes) {
    const WatchKey key{entry.pid, entry.startTime};
    WatchedProcess p;
    p.key = key;
    p.name = name;
    p.state = std::make_unique<WatchedProcess::State>(provider_);
    SessionContext& context = p.state->context;
    context.settings.refreshIntervalMs = settings_.intervalMs;
    context.settings.streakThreshold = settings_.streakThreshold;
    context.settings.growthLimitMB = settings_.growthLimitMB;
    context.settings.dockStatsEnabled = false;
    context.keepsHistory = false;  // the leak test reads the window's points, not the history
    ProcessDescription target;
    target.pid = entry.pid;
    target.name = TextFromUtf8(name);
    target.startTime = entry.startTime;
    SetMonitorTarget(context, target);
    const TickRecord first = StartSession(context, false);
    if (!first.ticked) return false;  // ended already, or not ours to read
    TakeTick(p, first, settings_, now);
    watched_.emplace(key, std::move(p));
    changes.started.push_back(key);
    return true;
}

WatchChanges ProcessWatch::Tick(double now) {
    WatchChanges changes;
    for (auto it = watched_.begin(); it != watched_.end();) {
        const TickRecord r = TickSession(it->second.state->context);
        if (r.ticked) {
            TakeTick(it->second, r, settings_, now);
            ++it;
        } else {
            changes.ended.push_back(it->first);
            it = watched_.erase(it);
        }
    }
    table_.Refresh(now);
    // Processes that could not be read are not tried again while they live.
    std::erase_if(unreadable_, [this](const WatchKey& key) {
        const auto entry = table_.Entries().find(key.pid);
        return entry == table_.Entries().end() || entry->second.startTime != key.startTime;
    });
    for (auto& [pid, entry] : table_.Entries()) {
        const WatchKey key{pid, entry.startTime};
        if (entry.startTime == 0 || watched_.count(key) || unreadable_.count(key)) continue;
        const std::string* name = MatchedName(table_, entry, settings_.names);
        if (!name && !ChosenByPid(key)) continue;
        // A process watched by its PID goes by its own name, as the picker shows it.
        const std::string& executable = table_.ExecutableName(entry);
        if (!StartWatching(entry, name ? *name : !executable.empty() ? executable : entry.commandName, now, changes))
            unreadable_.insert(key);
    }
    return changes;
}

bool ProcessWatch::ChosenByPid(const WatchKey& key) {
    if (std::find(settings_.pids.begin(), settings_.pids.end(), key.pid) == settings_.pids.end()) return false;
    // --pid names the process that had the PID when it was first seen, not the next one to get it.
    const auto [first, added] = pidStartTimes_.try_emplace(key.pid, key.startTime);
    return first->second == key.startTime;
}
