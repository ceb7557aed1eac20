#include <gtest/gtest.h>

#include <tuple>

#include "analysis/phase_analysis.h"
#include "quolk_version.h"
#include "session_test_support.h"

using namespace session_test;

namespace {

std::string Panel(const Seen& r) {
    const PanelTexts& p = *r.panel;
    return U8(p.virtualRam + u"|" + p.footprint + u"|" + p.delta + u"|" + p.peak + u"|" + p.threads + u"|" +
              p.pageFaults + u"|" + p.pageIns + u"|" + p.cowFaults + u"|" + p.lastUpdated);
}
std::string Alerts(const Seen& r) {
    return U8(r.alerts->streak + u"|" + r.alerts->growth + u"|" + r.alerts->status + u"|" + r.alerts->details);
}
std::string Controls(const Seen& r) {
    const ControlStates& c = *r.controls;
    return std::string{"01"[c.startEnabled], "01"[c.pauseEnabled], "01"[c.stopEnabled], "01"[c.analyzeEnabled],
                       "01"[c.profileEnabled]};
}

}  // namespace

TEST_F(SessionTest, StartTicksOnceAtOnceComparingWithTheStartSample) {
    std::vector<Reading> readings = Footprints({100.0, 105.5});
    readings[1].virtualBytes = 1523410000;
    readings[1].pageFaults = 13345;
    readings[1].threads = 17;
    const Seen start = Run(readings).front();
    ASSERT_TRUE(start.ticked && start.panel && start.alerts && start.controls);
    EXPECT_EQ(Panel(start), "1.52 GB|105.50 MB|5.50 MB|105.50 MB|17|12,345|1|0|14:03:27");
    EXPECT_EQ(Alerts(start), "🟢 Streak Normal|🟢 Growth Normal|🟢 Status: Nominal|Memory footprint stable.");
    EXPECT_EQ(U8(start.status.value_or(u"") + u"|" + start.pauseCaption.value_or(u"")),
              "Status: 🟢 Monitoring active|⏸ Pause");
    EXPECT_EQ(Controls(start), "01100");
    EXPECT_EQ(std::tuple(start.timer, start.timerIntervalMs, start.Badge()),
              std::tuple(TimerChange::Arm, int64_t{1000}, std::string("105.50 MB")));
    // No previous tick: neither streak nor stability is evaluated.
    EXPECT_EQ(std::tuple(start.figures.streak, context.session.stableCount, history.count), std::tuple(0, 0, 1));
    EXPECT_EQ(std::tuple(history.slots[0].timestamp, history.slots[0].footprintMB), std::tuple(script.now, 105.5f));
}

// One session tick by tick: a streak counts strict rises and alarms at 3; the growth alarm at the
// limit over the baseline; stability is measured from where its run began (10 MB either way), so
// that small steps of a leak add up and end it; the fifteenth stable tick makes its sample the
// new baseline; after a zero footprint the next tick compares with nothing.
TEST_F(SessionTest, ATimelineOfStreaksAlarmsStabilityAndReanchoring) {
    context.settings.growthLimitMB = 20.0f;
    const std::string calm = "Memory footprint stable.", growth = "[🔥 Growth > 20 MB] ";
    auto streak = [](int n) { return "[⚠️ Streak: " + std::to_string(n) + "x consecutive increases] "; };
    struct Tick { double mb; int64_t streak, stable; const char* delta; std::string details; };
    std::vector<Tick> ticks = {
        {100, 0, 0, "0.00 MB", calm},  // Start's own tick: not compared
        {101, 1, 1, "1.00 MB", calm},       {101, 0, 2, "1.00 MB", calm},    {102, 1, 3, "2.00 MB", calm},
        {103, 2, 4, "3.00 MB", calm},       {104, 3, 5, "4.00 MB", streak(3)},  {96.75, 0, 6, "-3.25 MB", calm},
        {111, 1, 0, "11.00 MB", calm},      // 11 MB from where the stable run began
        {119.99, 2, 1, "19.99 MB", calm},   // 8.99 MB from 111: stable, and just below the limit
        {120, 3, 2, "20.00 MB", streak(3) + growth},
        {121, 4, 3, "21.00 MB", streak(4) + growth},  // 10 MB from 111: stable
        {122, 5, 0, "22.00 MB", streak(5) + growth},  // 11 MB from 111, though 1 MB from the tick before
    };
    for (int64_t stable = 1; stable <= 14; ++stable) ticks.push_back({122, 0, stable, "22.00 MB", growth});
    ticks.insert(ticks.end(), {{122, 0, 0, "0.00 MB", calm},  // the fifteenth: the new baseline
                               {0, 0, 0, "-122.00 MB", calm}, {5, 0, 0, "-117.00 MB", calm}, {6, 1, 1, "-116.00 MB", calm}});
    std::vector<double> mbs = {100};
    for (const Tick& t : ticks) mbs.push_back(t.mb);
    script.readings = Footprints(mbs);
    for (size_t i = 0; i < ticks.size(); ++i) {
        SCOPED_TRACE("tick " + std::to_string(i + 1));
        const Seen r = See(i == 0 ? StartSession(context, false) : TickSession(context));
        EXPECT_EQ(std::tuple(r.figures.streak, context.session.stableCount, U8(r.panel->delta), U8(r.alerts->details)),
                  std::tuple(ticks[i].streak, ticks[i].stable, std::string(ticks[i].delta), ticks[i].details));
        EXPECT_EQ(U8(r.alerts->status), ticks[i].details == calm ? "🟢 Status: Nominal" : "🔴 Status: ALERT");
        EXPECT_EQ(U8(r.alerts->streak), r.figures.streakAlert ? "🔴 Streak Warning" : "🟢 Streak Normal");
        EXPECT_EQ(U8(r.alerts->growth), r.figures.growthAlert ? "🔴 Growth Limit Exceeded" : "🟢 Growth Normal");
        // The counters start again from the new baseline.
        if (i == 26 || i == 29) { EXPECT_EQ(U8(r.panel->pageFaults), i == 26 ? "0" : "30"); }
    }
    EXPECT_EQ(history.slots[27].footprintMB, 0.0f);  // a zero footprint is a sample like any other
}

// The badge follows the chosen statistic at every tick and at once when it is chosen (0.00 for
// footprint and delta until the next tick); Dock Stats off clears it at once and at every tick (the
// window's round test switches it back on).
TEST_F(SessionTest, PeakAndTheBadgeOfTheChosenStatistic) {
    const struct { int64_t item; const char* badge; } cases[] = {{0, "120.00 MB"}, {1, "150.00 MB"}, {2, "20.00 MB"}, {7, "(none)"}};
    for (const auto& c : cases) {
        context.settings.dockStatItem = c.item;
        const std::vector<Seen> records = Run(Footprints({100, 150, 120}));
        EXPECT_EQ(U8(records.back().panel->peak) + " " + records.back().Badge(), "150.00 MB " + std::string(c.badge));
        StopSession(context);
    }
    const struct { int64_t item; const char* badge; } picks[] = {{1, "150.00 MB"}, {0, "0.00 MB"}, {-1, "(none)"}};
    for (const auto& c : picks) EXPECT_EQ(See(SelectDockStat(context, c.item)).Badge(), c.badge) << c.item;
    Run(Footprints({100, 150}));
    script.readings.push_back(script.readings.back());
    const Seen off = See(ToggleDockStats(context));
    EXPECT_EQ(std::tuple(off.statListEnabled, off.Badge()), std::tuple(std::optional(false), std::string("")));
    EXPECT_EQ(See(TickSession(context)).Badge(), "");
}

// Pause skips ticks without reading or resetting; sleep pauses and wake resumes, also a session
// the user paused, and only during a session. The slider's interval, snapped to 500 ms, re-arms a
// running session's timer, not a paused or an idle one's.
TEST_F(SessionTest, PauseSleepWakeAndTheSlider) {
    EXPECT_FALSE(See(SystemWillSleep(context)).status || context.session.paused);  // idle: nothing
    const Seen idle = See(SetRefreshInterval(context, 1300));
    EXPECT_EQ(std::tuple(idle.refreshIntervalMs, idle.timer), std::tuple(std::optional<int64_t>(1500), TimerChange::None));
    script.readings = Footprints({100, 101, 102, 103});
    EXPECT_EQ(See(StartSession(context, false)).timerIntervalMs, 1500);
    const Seen running = See(SetRefreshInterval(context, 2600));
    EXPECT_EQ(std::tuple(running.timer, running.timerIntervalMs), std::tuple(TimerChange::Arm, int64_t{2500}));
    const Seen pause = See(TogglePause(context));
    EXPECT_EQ(U8(pause.pauseCaption.value_or(u"") + u"|" + pause.status.value_or(u"")), "▶ Resume|Status: ⏸ Paused");
    EXPECT_EQ(See(SetRefreshInterval(context, 600)).timer, TimerChange::None);
    const Seen skipped = See(TickSession(context));
    EXPECT_FALSE(skipped.ticked || skipped.panel || skipped.status || skipped.badge);
    EXPECT_EQ(std::tuple(script.next, history.count), std::tuple(size_t{2}, int64_t{1}));
    EXPECT_EQ(U8(See(SystemWillSleep(context)).status.value_or(u"")), "Status: ⏸ Paused");
    const Seen wake = See(SystemDidWake(context));
    EXPECT_EQ(U8(wake.pauseCaption.value_or(u"") + u"|" + wake.status.value_or(u"")), "⏸ Pause|Status: 🟢 Monitoring active");
    EXPECT_EQ(TickSession(context).figures.streak, 1);  // the streak went on where it stood
    TogglePause(context);
    EXPECT_EQ(U8(See(StopSession(context)).pauseCaption.value_or(u"")), "⏸ Pause");  // Stop ends the pause
    EXPECT_FALSE(See(SystemDidWake(context)).status);
}

TEST_F(SessionTest, TheTargetsEndStopsWithTheReport) {
    for (bool reused : {false, true}) {
        std::vector<Reading> readings = Footprints({100, 101, 102, 103, 500});
        if (reused) readings.back().startTime = 778;
        readings.back().gone = !reused;
        const Seen end = Run(readings).back();
        SCOPED_TRACE(reused ? "PID reused" : "gone");
        EXPECT_TRUE(end.stopped && end.targetEnded && !end.ticked);  // never a sample of the stranger
        EXPECT_EQ(U8(end.status.value_or(u"")), "Status: ❌ Process terminated");
        EXPECT_EQ(std::tuple(end.report, history.count), std::tuple(RunPhaseAnalysis(history), int64_t{3}));
        EXPECT_EQ(std::tuple(end.timer, end.Badge(), Controls(end)), std::tuple(TimerChange::Remove, std::string(), std::string("10011")));
        EXPECT_EQ(Alerts(end), "⚪ Streak Warning|⚪ Growth Limit|⚪ Status: Idle|Monitoring session completed!");
    }
}

TEST_F(SessionTest, StartWithoutTargetOrWithAnUnreadableOneStopWhenIdleAndNoHistory) {
    const Seen stop = See(StopSession(context));
    EXPECT_TRUE(!stop.stopped && stop.report.empty());
    EXPECT_EQ(U8(stop.status.value_or(u"")), "Status: 🔴 Monitoring stopped");
    SetMonitorTarget(context, {-1, u"", u"", 0});
    const Seen none = See(StartSession(context, false));
    EXPECT_EQ(U8(none.errorTitle + u"|" + none.errorMessage), "Error!|Please select a process to analyze first.\n");
    EXPECT_FALSE(context.session.active || none.status || none.controls);

    SetMonitorTarget(context, {4242, u"Target", u"", 777});
    Run(Footprints({50, 60, 70, 80}));
    StopSession(context);
    std::vector<Reading> gone(2);
    gone[0].gone = gone[1].gone = true;
    const Seen start = Run(gone).front();
    // The old baseline and history stay; the first tick ends the session with their report.
    EXPECT_TRUE(start.stopped && start.targetEnded && start.timer == TimerChange::Remove);
    EXPECT_EQ(std::tuple(start.report, history.count), std::tuple(RunPhaseAnalysis(history), int64_t{3}));
    EXPECT_NE(start.report.find(u"DIAGNOSTIC VERDICT"), Text::npos);  // a whole report, not text 30
    // A caller that judges the footprints by its own means (the watch) keeps no history and gets no
    // report at Stop.
    context.keepsHistory = false;
    Run(Footprints({100, 101, 102}));
    const Seen unkept = See(StopSession(context));
    EXPECT_TRUE(unkept.stopped && unkept.report.empty() && history.count == 0);
}

TEST(SessionTexts, FormatsBadgeAndWindowTitle) {
    const struct { int64_t bytes; const char* text; } sizes[] = {
        {0, "Zero KB"}, {1, "1 byte"}, {1500, "2 KB"}, {12345678, "12.3 MB"}, {999960000, "1 GB"},
        {INT64_MAX, "9.22 EB"}};
    for (const auto& c : sizes) EXPECT_EQ(U8(PlainByteCount(c.bytes)), c.text) << c.bytes;
    EXPECT_EQ(U8(PlainGroupedCount(INT64_MIN)), "-9,223,372,036,854,775,808");
    EXPECT_EQ(U8(BadgeText(-3.25f) + u"|" + RefreshIntervalText(1500)), "-3.25 MB|1500 ms");
    EXPECT_EQ(U8(WindowTitle(u"212.75 MB")), std::string(QuolkNameAndVersion) + " — 212.75 MB");
    EXPECT_EQ(U8(WindowTitle(u"")), QuolkNameAndVersion);
}
