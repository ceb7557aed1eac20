// A scripted target process and clock for the session tests: each reading of the process takes
// the next scripted sample, and the clock gives whatever time the test set.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "monitor/sampler.h"
#include "runtime/date.h"
#include "session/session.h"
#include "session/session_view.h"
#include "strings/stringtable.h"

namespace session_test {

inline constexpr int64_t kMB = 1048576;

// One reading of the scripted process. `gone` makes the reading fail.
struct Reading {
    int64_t footprint{};
    int64_t virtualBytes{4000 * kMB};
    int32_t pageFaults{}, pageIns{}, cowFaults{}, threads{4};
    uint64_t startTime{777};
    bool gone{};
};

struct Script {
    std::vector<Reading> readings;
    size_t next{};  // readings taken so far
    DateValue now{};
};
inline Script script;

// A provider that cannot hold a process, so that a held target is read by PID and start time. A
// sample moves on to the next reading when its footprint is read; checking the process when it is
// opened as the target does not. A reading of a process that is gone is used up by the attempt;
// a reading beyond the script fails the test case, not the program.
struct ScriptedProcess : ProcessProvider {
    int OpenProcess(int32_t) override {
        const bool readable = script.next < script.readings.size() && !script.readings[script.next].gone;
        if (script.next >= script.readings.size()) ADD_FAILURE() << "a reading beyond the script";
        return readable ? int(script.next) : (++script.next, -1);
    }
    void CloseProcess(int) override {}
    bool ReadTaskInfo(int handle, TaskInfo& out) override {
        const Reading& r = script.readings[size_t(handle)];
        out = TaskInfo{r.virtualBytes, r.footprint, r.pageFaults, r.pageIns, r.cowFaults, r.threads, r.startTime};
        return true;
    }
    int64_t ReadFootprint(int handle) override {
        script.next = size_t(handle) + 1;
        return script.readings[size_t(handle)].footprint;
    }
};

inline DateValue ScriptedClock() { return script.now; }
inline std::string U8(const Text& text) { return TextToUtf8(text); }

// Footprints in MB, one reading each; counters grow by one a reading so that deltas show.
inline std::vector<Reading> Footprints(const std::vector<double>& mbs) {
    std::vector<Reading> readings;
    for (size_t i = 0; i < mbs.size(); ++i)
        readings.push_back({.footprint = int64_t(mbs[i] * double(kMB)), .pageFaults = int32_t(1000 + 10 * i),
                            .pageIns = int32_t(100 + i)});
    return readings;
}

// What the window sees of an operation: the record and the view made of it at once.
struct Seen : TickRecord, SessionView {
    std::string Badge() const { return badge ? TextToUtf8(*badge) : "(none)"; }
};

// English texts, a scripted process and clock, and a context with its own history.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadStringTable(u"en");
        script = Script{};
        script.now = ParseDate(u"%yyyy-%mm-%dd %hh:%ii:%ss", u"2026-12-05 14:03:27");
        context.services.clock = ScriptedClock;
        context.services.processes = &process;
        script.readings = Footprints({1});  // the target is checked when it is chosen
        SetMonitorTarget(context, {4242, u"Target", u"", 777});
    }
    void TearDown() override { CloseMonitorLog(context.log); }
    Seen See(const TickRecord& record) { return Seen{record, SessionViewOf(context, record)}; }
    // Starts a session over these readings (the first is the baseline) and runs one timer tick per
    // remaining reading after the one Start ticks itself; returns what each showed, Start's first.
    std::vector<Seen> Run(const std::vector<Reading>& readings, bool csv = false) {
        script.readings = readings;
        script.next = 0;
        std::vector<Seen> records{See(StartSession(context, csv))};
        while (script.next < script.readings.size() && context.session.active) {
            ++script.now;
            records.push_back(See(TickSession(context)));
        }
        return records;
    }

    ScriptedProcess process;
    SessionContext context;
    SampleHistory& history = context.history;
};

}  // namespace session_test
