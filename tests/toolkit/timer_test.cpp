// Window timers: ticks as events, coalescing while the program is busy, removal, replacement,
// and silence during a requester's modal run.
#include <QElapsedTimer>

#include "toolkit/modal.h"
#include "toolkit/timer.h"
#include "toolkit_fixture.h"

namespace {

class TimerTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        OpenWindow(0, 0, 0, 100, 100, u"Timers");
        Settle();
    }

    // Lets the platform run for a while without the program taking any event.
    static void Busy(int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    }

    static int TicksOf(const std::vector<ToolkitEvent>& events, int64_t timer) {
        int n = 0;
        for (const ToolkitEvent& e : events)
            if (e.code == EventCodeTimer && e.object == timer && e.window == 0) ++n;
        return n;
    }
};

TEST_F(TimerTest, TicksWhileBusyBecomeOnePendingEvent) {
    ASSERT_EQ(AddWindowTimer(0, 47, 5), 1);
    Busy(120);
    EXPECT_EQ(TicksOf(TakeAll(), 47), 1);
    EXPECT_EQ(WaitWindowEvent(5000), EventCodeTimer);
    EXPECT_EQ(EventTimer(), 47);
    EXPECT_EQ(EventWindow(), 0);
}

TEST_F(TimerTest, RemovedTimerDeliversNothingAfterwardsNotEvenAQueuedTick) {
    AddWindowTimer(0, 47, 5);
    AddWindowTimer(0, 48, 5);
    Busy(60);
    RemoveWindowTimer(0, 47);
    Busy(60);
    const auto events = TakeAll();
    EXPECT_EQ(TicksOf(events, 47), 0);
    EXPECT_GE(TicksOf(events, 48), 1);
}

TEST_F(TimerTest, AddingUnderARunningNumberReplacesTheTimer) {
    AddWindowTimer(0, 47, 5);
    Busy(30);
    ASSERT_EQ(AddWindowTimer(0, 47, 3600 * 1000), 1);
    EXPECT_EQ(TicksOf(TakeAll(), 47), 0) << "the replaced timer's tick went with it";
    Busy(60);
    EXPECT_EQ(TicksOf(TakeAll(), 47), 0) << "only the new, slow timer runs";
}

TEST_F(TimerTest, IntervalBelowOneOrMissingWindowFailsAndLeavesNoTimer) {
    AddWindowTimer(0, 47, 5);
    EXPECT_EQ(AddWindowTimer(0, 47, 0), 0);
    EXPECT_EQ(AddWindowTimer(0, 48, -3), 0);
    EXPECT_EQ(AddWindowTimer(9, 47, 5), 0);
    Busy(60);
    EXPECT_TRUE(TakeAll().empty());
}

TEST_F(TimerTest, NoTicksDuringAModalRun) {
    AddWindowTimer(0, 47, 5);
    {
        ModalRunScope modal;
        Busy(60);
        EXPECT_EQ(TicksOf(TakeAll(), 47), 0);
    }
    Busy(60);
    EXPECT_EQ(TicksOf(TakeAll(), 47), 1);
}

TEST_F(TimerTest, ClosingTheWindowStopsItsTimers) {
    AddWindowTimer(0, 47, 5);
    Busy(30);
    CloseWindow(0);
    Busy(30);
    EXPECT_TRUE(TakeAll().empty());
}

}  // namespace
