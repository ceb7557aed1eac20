#include <gtest/gtest.h>

#include <tuple>

#include "analysis/phase_analysis.h"
#include "session_test_support.h"

using namespace session_test;

namespace {

std::string U8(const Text& text) { return TextToUtf8(text); }

}  // namespace

TEST_F(SessionTest, StartTicksOnceAtOnceComparingWithTheStartSample) {
    std::vector<Reading> readings = Footprints({100.0, 105.5});
    readings[1].virtualBytes = 1523410000;
    readings[1].pageFaults = 13345;
    readings[1].threads = 17;
    const Seen start = Run(readings).front();

    ASSERT_TRUE(start.ticked);
    ASSERT_TRUE(start.panel && start.alerts && start.controls && start.status && start.pauseCaption);
    const PanelTexts& p = *start.panel;
    EXPECT_EQ(U8(p.virtualRam), "1.52 GB");
    EXPECT_EQ(U8(p.footprint), "105.50 MB");
    EXPECT_EQ(U8(p.delta), "5.50 MB");  // against the Start sample
    EXPECT_EQ(U8(p.peak), "105.50 MB");
    EXPECT_EQ(U8(p.threads), "17");
    EXPECT_EQ(U8(p.pageFaults), "12,345");
    EXPECT_EQ(U8(p.pageIns), "1");
    EXPECT_EQ(U8(p.cowFaults), "0");
    EXPECT_EQ(U8(p.lastUpdated), "14:03:27");
    EXPECT_EQ(U8(start.alerts->streak + u"|" + start.alerts->growth + u"|" + start.alerts->status + u"|" +
                 start.alerts->details),
              "🟢 Streak Normal|🟢 Growth Normal|🟢 Status: Nominal|Memory footprint stable.");
    EXPECT_EQ(U8(*start.status), "Status: 🟢 Monitoring active");
    EXPECT_EQ(U8(*start.pauseCaption), "⏸ Pause");
    const ControlStates c = *start.controls;
    EXPECT_EQ(std::vector<bool>({c.startEnabled, c.pauseEnabled, c.stopEnabled, c.analyzeEnabled, c.profileEnabled}),
              std::vector<bool>({false, true, true, false, false}));
    EXPECT_EQ(start.timer, TimerChange::Arm);
    EXPECT_EQ(start.timerIntervalMs, 1000);
    EXPECT_EQ(U8(start.badge.value_or(u"(none)")), "105.50 MB");
    EXPECT_EQ(start.figures.streak, 0);  // no previous tick: neither streak nor stability is evaluated
    EXPECT_EQ(context.session.stableCount, 0);
    EXPECT_EQ(history.count, 1);
    EXPECT_EQ(start.figures.footprintMB, 105.5f);
    EXPECT_EQ(start.figures.time, script.now);
    EXPECT_EQ(history.slots[0].timestamp, script.now);
    EXPECT_TRUE(start.logRow.empty());  // CSV off
}

TEST_F(SessionTest, GrowthAlertsAtTheLimitNotBelowIt) {
    const struct { int64_t growthBytes; bool alert; } cases[] = {
        {200 * kMB - 1, false}, {200 * kMB, true}, {200 * kMB + 1, true}, {-5 * kMB, false}};
    for (const auto& c : cases) {
        std::vector<Reading> readings = Footprints({100, 0});
        readings[1].footprint = 100 * kMB + c.growthBytes;
        const Seen r = Run(readings).front();
        EXPECT_EQ(r.figures.growthAlert, c.alert) << c.growthBytes;
        EXPECT_EQ(U8(r.alerts->growth), c.alert ? "🔴 Growth Limit Exceeded" : "🟢 Growth Normal");
        EXPECT_EQ(U8(r.alerts->details), c.alert ? "[🔥 Growth > 200 MB] " : "Memory footprint stable.");
        EXPECT_EQ(U8(r.alerts->status), c.alert ? "🔴 Status: ALERT" : "🟢 Status: Nominal");
        StopSession(context);
    }
}

// One session tick by tick: a streak counts strict rises and alarms at 3; the growth alarm at the
// limit over the baseline; stability is measured from where its run began (10 MB either way), so
// that small steps of a leak add up and end it; the fifteenth stable tick makes its sample the
// new baseline; after a zero footprint the next tick compares with nothing.
TEST_F(SessionTest, ATimelineOfStreaksAlarmsStabilityAndReanchoring) {
    context.settings.growthLimitMB = 20.0f;
    const std::string calm = "Memory footprint stable.", streak = "[⚠️ Streak: 3x consecutive increases] ",
                      growth = "[🔥 Growth > 20 MB] ";
    struct Tick { double mb; int64_t streak, stable; const char* delta; std::string details; };
    std::vector<Tick> ticks = {
        {100, 0, 0, "0.00 MB", calm},  // Start's own tick: not compared
        {101, 1, 1, "1.00 MB", calm},       {101, 0, 2, "1.00 MB", calm},    {102, 1, 3, "2.00 MB", calm},
        {103, 2, 4, "3.00 MB", calm},       {104, 3, 5, "4.00 MB", streak},  {96.75, 0, 6, "-3.25 MB", calm},
        {111, 1, 0, "11.00 MB", calm},      // 11 MB from where the stable run began
        {121, 2, 1, "21.00 MB", growth},    // 10 MB from 111: stable
        {122, 3, 0, "22.00 MB", streak + growth},  // 11 MB from 111, though 1 MB from the tick before
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
        if (i == 24 || i == 27) EXPECT_EQ(U8(r.panel->pageFaults), i == 24 ? "0" : "30");
    }
    EXPECT_EQ(history.slots[25].footprintMB, 0.0f);  // a zero footprint is a sample like any other
}

TEST_F(SessionTest, StartKeepsTheStableCountOfThePreviousSession) {
    Run(Footprints({100, 100, 100, 100, 100, 100, 100, 100, 100, 100, 100}));  // 9 stable ticks
    StopSession(context);
    ASSERT_EQ(context.session.stableCount, 9);
    std::vector<double> mbs{100};
    for (int i = 0; i < 8; ++i) mbs.push_back(105);
    const std::vector<Seen> records = Run(Footprints(mbs));
    // The first tick is not compared; the sixth stable one is the fifteenth of the count.
    EXPECT_EQ(U8(records[5].panel->delta), "5.00 MB");
    EXPECT_EQ(U8(records[6].panel->delta), "0.00 MB");
}

TEST_F(SessionTest, PeakFollowsTheHighestFootprintAndTheBadgeTheChosenStatistic) {
    const struct { int64_t item; const char* badge; } cases[] = {
        {0, "120.00 MB"}, {1, "150.00 MB"}, {2, "20.00 MB"}, {7, "(none)"}};
    for (const auto& c : cases) {
        context.settings.dockStatItem = c.item;
        const std::vector<Seen> records = Run(Footprints({100, 150, 120}));
        EXPECT_EQ(U8(records.back().panel->peak), "150.00 MB");
        EXPECT_EQ(U8(records.back().badge.value_or(u"(none)")), c.badge) << c.item;
        StopSession(context);
    }
    context.settings.dockStatItem = 0;
    context.settings.dockStatsEnabled = false;
    EXPECT_EQ(U8(Run(Footprints({100, 150})).back().badge.value_or(u"(none)")), "");  // every tick clears it
}

// Pause skips ticks without reading or resetting; sleep pauses and wake resumes, also a session
// the user paused, and only during a session. (The window's round resumes by the button.)
TEST_F(SessionTest, PauseSleepAndWake) {
    EXPECT_FALSE(See(SystemWillSleep(context)).status || context.session.paused);  // idle: nothing
    script.readings = Footprints({100, 101, 102, 103});
    StartSession(context, false);
    const Seen pause = See(TogglePause(context));
    EXPECT_EQ(U8(pause.pauseCaption.value_or(u"") + u"|" + pause.status.value_or(u"")), "▶ Resume|Status: ⏸ Paused");
    for (int i = 0; i < 3; ++i) {
        const Seen skipped = See(TickSession(context));
        EXPECT_FALSE(skipped.ticked || skipped.panel || skipped.status || skipped.badge);
    }
    EXPECT_EQ(std::tuple(script.next, history.count), std::tuple(size_t{2}, int64_t{1}));
    EXPECT_EQ(U8(See(SystemWillSleep(context)).status.value_or(u"")), "Status: ⏸ Paused");
    const Seen wake = See(SystemDidWake(context));
    EXPECT_EQ(U8(wake.pauseCaption.value_or(u"") + u"|" + wake.status.value_or(u"")), "⏸ Pause|Status: 🟢 Monitoring active");
    EXPECT_EQ(TickSession(context).figures.streak, 1);  // the streak went on where it stood
    EXPECT_EQ(history.count, 2);
    TogglePause(context);
    EXPECT_EQ(U8(See(StopSession(context)).pauseCaption.value_or(u"")), "⏸ Pause");  // Stop ends the pause
    EXPECT_FALSE(See(SystemDidWake(context)).status);
}

TEST_F(SessionTest, TheTargetsEndStopsWithTheReport) {
    const struct { const char* name; bool reused; } cases[] = {{"gone", false}, {"PID reused", true}};
    for (const auto& c : cases) {
        std::vector<Reading> readings = Footprints({100, 101, 102, 103, 0});
        if (c.reused)
            readings.back() = Footprints({500}).front(), readings.back().startTime = 778;
        else
            readings.back().gone = true;
        const Seen end = Run(readings).back();
        EXPECT_TRUE(end.stopped && end.targetEnded) << c.name;
        EXPECT_FALSE(end.ticked) << c.name;  // never a sample of the stranger
        EXPECT_EQ(U8(end.status.value_or(u"")), "Status: ❌ Process terminated") << c.name;
        EXPECT_EQ(end.report, RunPhaseAnalysis(history)) << c.name;
        EXPECT_EQ(history.count, 3) << c.name;
        EXPECT_EQ(end.timer, TimerChange::Remove);
        EXPECT_EQ(U8(end.badge.value_or(u"(none)")), "");
        EXPECT_EQ(U8(end.alerts->streak + end.alerts->growth + end.alerts->status + end.alerts->details),
                  "⚪ Streak Warning⚪ Growth Limit⚪ Status: IdleMonitoring session completed!");
        EXPECT_TRUE(end.controls->startEnabled && !end.controls->stopEnabled && end.controls->analyzeEnabled);
        EXPECT_FALSE(context.session.active);
    }
}

TEST_F(SessionTest, StartWithoutTargetOrWithAnUnreadableOne) {
    SetMonitorTarget(context, {-1, u"", u"", 0});
    const Seen none = See(StartSession(context, false));
    EXPECT_EQ(U8(none.errorTitle), "Error!");
    EXPECT_EQ(U8(none.errorMessage), "Please select a process to analyze first.\n");
    EXPECT_FALSE(context.session.active || none.status || none.controls);

    SetMonitorTarget(context, {4242, u"Target", u"", 777});
    Run(Footprints({50, 60, 70, 80}));
    StopSession(context);
    std::vector<Reading> gone(2);
    gone[0].gone = gone[1].gone = true;
    const Seen start = Run(gone).front();
    // The old baseline and history stay; the first tick ends the session with their report.
    EXPECT_TRUE(start.stopped && start.targetEnded);
    EXPECT_EQ(history.count, 3);
    EXPECT_EQ(start.report, RunPhaseAnalysis(history));
    EXPECT_NE(start.report.find(u"DIAGNOSTIC VERDICT"), Text::npos);  // a whole report, not text 30
    EXPECT_EQ(start.timer, TimerChange::Remove);
}

TEST_F(SessionTest, StopOfAnIdleSessionResetsTheWindowWithoutAReport) {
    const Seen stop = See(StopSession(context));
    EXPECT_FALSE(stop.stopped);
    EXPECT_TRUE(stop.report.empty());
    EXPECT_EQ(U8(stop.status.value_or(u"")), "Status: 🔴 Monitoring stopped");
}
