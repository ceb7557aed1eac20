#include <gtest/gtest.h>

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

TEST_F(SessionTest, StreakCountsStrictRisesAndAlertsAtTheThreshold) {
    // Baseline, then ticks: the first is not compared; equal footprints reset the streak.
    const std::vector<Seen> records = Run(Footprints({100, 100, 101, 101, 102, 103, 104, 104}));
    const int64_t streaks[] = {0, 1, 0, 1, 2, 3, 0};
    const char* labels[] = {"🟢", "🟢", "🟢", "🟢", "🟢", "🔴", "🟢"};
    ASSERT_EQ(records.size(), 7u);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].figures.streak, streaks[i]) << i;
        EXPECT_TRUE(U8(records[i].alerts->streak).starts_with(labels[i])) << i;
        EXPECT_EQ(records[i].figures.AlertTick(), streaks[i] >= 3) << i;
    }
    EXPECT_EQ(U8(records[5].alerts->details), "[⚠️ Streak: 3x consecutive increases] ");
    EXPECT_EQ(U8(records[5].alerts->streak), "🔴 Streak Warning");
    EXPECT_EQ(U8(records[5].alerts->growth), "🟢 Growth Normal");
    EXPECT_EQ(U8(records[5].alerts->status), "🔴 Status: ALERT");
    EXPECT_EQ(U8(records[6].alerts->details), "Memory footprint stable.");
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

TEST_F(SessionTest, BothAlertsShareTheDetailsText) {
    context.settings.growthLimitMB = 200.0f;
    const std::vector<Seen> records = Run(Footprints({100, 250, 260, 270, 280, 301}));
    const Seen& last = records.back();
    EXPECT_EQ(last.figures.streak, 4);
    EXPECT_EQ(U8(last.alerts->details), "[⚠️ Streak: 4x consecutive increases] [🔥 Growth > 200 MB] ");
    EXPECT_TRUE(last.figures.streakAlert && last.figures.growthAlert && last.figures.AlertTick());
}

TEST_F(SessionTest, FifteenthStableTickReanchorsTheBaseline) {
    context.settings.streakThreshold = 100;
    std::vector<double> mbs{100};
    for (int i = 1; i <= 17; ++i) mbs.push_back(100 + 0.5 * i);  // rises of 0.5 MB: stable and a streak
    const std::vector<Seen> records = Run(Footprints(mbs));
    ASSERT_EQ(records.size(), 17u);
    // Tick 1 is not compared; ticks 2..16 are fifteen stable ticks, the last of them re-anchors.
    EXPECT_EQ(U8(records[14].panel->delta), "7.50 MB");
    EXPECT_EQ(records[14].figures.streak, 14);
    EXPECT_EQ(U8(records[15].panel->delta), "0.00 MB");
    EXPECT_EQ(U8(records[15].panel->pageFaults), "0");
    EXPECT_EQ(U8(records[15].panel->pageIns), "0");
    EXPECT_EQ(records[15].figures.streak, 1);  // reset by the re-anchoring, then this tick's rise
    EXPECT_EQ(context.session.stableCount, 1);
    EXPECT_EQ(U8(records[16].panel->delta), "0.50 MB");
    EXPECT_EQ(U8(records[16].panel->pageFaults), "10");
}

// Stability is measured from the start of the stable run: a leak of less than 10 MB a tick never
// re-anchors and reaches the limit, while a plateau with noise of up to 5 MB either way does.
TEST_F(SessionTest, GrowthAlarmFollowsASteadyLeakAndAPlateauReanchors) {
    const struct { const char* name; double stepMB; double noiseMB; int64_t firstAlarmTick, reanchorTick; } cases[] = {
        {"8 MB a tick", 8.0, 0.0, 25, 0}, {"9.5 MB a tick", 9.5, 0.0, 22, 0}, {"plateau", 0.0, 5.0, 0, 16}};
    for (const auto& c : cases) {
        context.session.stableCount = 0;
        std::vector<double> mbs{300};
        for (int i = 1; i <= 60; ++i) mbs.push_back(300 + c.stepMB * i + c.noiseMB * ((i * 7) % 11 - 5) / 5.0);
        const std::vector<Seen> records = Run(Footprints(mbs));
        ASSERT_EQ(records.size(), 60u) << c.name;
        int64_t firstAlarm = 0, reanchor = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].figures.growthAlert && firstAlarm == 0) firstAlarm = int64_t(i) + 1;
            if (firstAlarm) EXPECT_TRUE(records[i].figures.growthAlert) << c.name << " tick " << i + 1;
            if (U8(records[i].panel->pageFaults) == "0" && reanchor == 0) reanchor = int64_t(i) + 1;
        }
        EXPECT_EQ(firstAlarm, c.firstAlarmTick) << c.name;
        EXPECT_EQ(reanchor, c.reanchorTick) << c.name;
        StopSession(context);
    }
}

TEST_F(SessionTest, AJumpOfMoreThanTenMBRestartsTheStableCount) {
    const struct { double jump; int64_t countAfter; } cases[] = {{10.0, 5}, {10.5, 0}, {-10.0, 5}, {-11.0, 0}};
    for (const auto& c : cases) {
        context.session.stableCount = 0;
        const std::vector<Seen> records = Run(Footprints({100, 100, 100, 100, 100, 100, 100 + c.jump}));
        EXPECT_EQ(context.session.stableCount, c.countAfter) << c.jump;
        EXPECT_FLOAT_EQ(context.session.stableRefMB, 100.0f) << c.jump;  // where the stable run began
        StopSession(context);
    }
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

TEST_F(SessionTest, NegativeDeltaAndAZeroFootprintAreOrdinarySamples) {
    const std::vector<Seen> records = Run(Footprints({100, 96.75, 0}));
    EXPECT_EQ(U8(records[0].panel->delta), "-3.25 MB");
    EXPECT_EQ(U8(records[1].panel->footprint), "0.00 MB");
    EXPECT_EQ(U8(records[1].panel->delta), "-100.00 MB");
    EXPECT_EQ(history.count, 2);
    EXPECT_EQ(history.slots[1].footprintMB, 0.0f);
    EXPECT_EQ(context.session.prevFootprint, 0);  // so the next tick compares with nothing
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

TEST_F(SessionTest, PauseSkipsTicksWithoutReadingOrResetting) {
    script.readings = Footprints({100, 101, 102, 103});
    StartSession(context, false);
    const Seen pause = See(TogglePause(context));
    EXPECT_EQ(U8(pause.pauseCaption.value_or(u"")), "▶ Resume");
    EXPECT_EQ(U8(pause.status.value_or(u"")), "Status: ⏸ Paused");
    for (int i = 0; i < 3; ++i) {
        const Seen skipped = See(TickSession(context));
        EXPECT_FALSE(skipped.ticked || skipped.panel || skipped.status || skipped.badge);
    }
    EXPECT_EQ(script.next, 2u);
    EXPECT_EQ(history.count, 1);
    const Seen resume = See(TogglePause(context));
    EXPECT_EQ(U8(resume.pauseCaption.value_or(u"")), "⏸ Pause");
    EXPECT_EQ(U8(resume.status.value_or(u"")), "Status: 🟢 Monitoring active");
    EXPECT_EQ(TickSession(context).figures.streak, 1);  // the streak went on where it stood
    EXPECT_EQ(history.count, 2);
}

TEST_F(SessionTest, SleepPausesAndWakeResumesOnlyDuringASession) {
    const Seen idleSleep = See(SystemWillSleep(context));
    EXPECT_FALSE(idleSleep.status || idleSleep.pauseCaption || context.session.paused);
    script.readings = Footprints({100, 101, 102});
    StartSession(context, false);
    TogglePause(context);  // paused by the user before the sleep: the wake resumes all the same
    const Seen sleep = See(SystemWillSleep(context));
    EXPECT_EQ(U8(sleep.status.value_or(u"")), "Status: ⏸ Paused");
    EXPECT_FALSE(TickSession(context).ticked);
    const Seen wake = See(SystemDidWake(context));
    EXPECT_EQ(U8(wake.status.value_or(u"")), "Status: 🟢 Monitoring active");
    EXPECT_EQ(U8(wake.pauseCaption.value_or(u"")), "⏸ Pause");
    EXPECT_TRUE(TickSession(context).ticked);
    StopSession(context);
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
