// Window timers: coalescing while the program is busy (QTest::qWait runs the platform, not the
// program), removal, replacement. Silence during a modal run is tested with a real requester.
#include <map>

#include <QTest>

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
    // Takes every queued event and counts the ticks of each timer of window 0.
    static std::map<int64_t, int> Ticks() {
        std::map<int64_t, int> ticks;
        for (const ToolkitEvent& e : TakeAll()) ticks[e.object] += e.code == EventCodeTimer && e.window == 0;
        return ticks;
    }
};

TEST_F(TimerTest, TicksWhileBusyBecomeOnePendingEvent) {
    ASSERT_EQ(AddWindowTimer(0, 47, 5), 1);
    QTest::qWait(120);
    EXPECT_EQ(Ticks()[47], 1);
    EXPECT_EQ(WaitWindowEvent(5000), EventCodeTimer);
    EXPECT_EQ(EventTimer(), 47);
}

TEST_F(TimerTest, RemovingOrReplacingATimerTakesItsQueuedTickAndIntervalZeroRemovesIt) {
    AddWindowTimer(0, 47, 5);
    AddWindowTimer(0, 48, 5);
    AddWindowTimer(0, 49, 5);
    QTest::qWait(60);
    RemoveWindowTimer(0, 47);
    ASSERT_EQ(AddWindowTimer(0, 48, 3600 * 1000), 1);
    EXPECT_EQ(AddWindowTimer(0, 49, 0), 0);
    EXPECT_EQ(AddWindowTimer(9, 50, 5), 0) << "no such window";
    EXPECT_TRUE(TakeAll().empty()) << "the removed and replaced timers' ticks went with them";
    QTest::qWait(60);
    EXPECT_TRUE(TakeAll().empty()) << "only the slow timer 48 is left";
}

}  // namespace
