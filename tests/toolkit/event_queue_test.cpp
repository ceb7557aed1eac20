// The queue's rules: first in first out, a repeated toolkit event merges into the last one,
// posted events are never merged or dropped, programmatic changes are suppressed, and removal by
// window or by timer.
#include <QTimer>

#include "toolkit/modal.h"
#include "toolkit_fixture.h"

namespace {

using EventQueueTest = ToolkitTest;

struct Queued {
    bool posted;
    int32_t code;
    int64_t window, object, type;
};

void Queue(const Queued& e) {
    if (e.posted)
        PostEvent(e.code, e.window, e.object);
    else
        QueueToolkitEvent(e.code, e.window, e.object, e.type);
}

TEST_F(EventQueueTest, RepeatedToolkitEventMergesOnlyIntoTheLastQueuedEvent) {
    struct Case {
        const char* name;
        Queued first, second;
        int64_t expectedCount;
    };
    const Case cases[] = {
        {"same timer tick twice", {false, 15, 0, 47, 0}, {false, 15, 0, 47, 0}, 1},
        {"same edit of a field twice", {false, 3, 0, 1, 768}, {false, 3, 0, 1, 768}, 1},
        {"other code", {false, 3, 0, 1, 0}, {false, 15, 0, 1, 0}, 2},
        {"other window", {false, 15, 0, 47, 0}, {false, 15, 1, 47, 0}, 2},
        {"other object", {false, 15, 0, 47, 0}, {false, 15, 0, 48, 0}, 2},
        {"other type", {false, 3, 0, 1, 0}, {false, 3, 0, 1, 768}, 2},
        {"codes from 65536 never merge", {false, 70000, 0, 1, 0}, {false, 70000, 0, 1, 0}, 2},
        {"posted after toolkit", {false, 1068, 0, 0, 0}, {true, 1068, 0, 0, 0}, 2},
        {"posted twice", {true, 1068, 0, 0, 0}, {true, 1068, 0, 0, 0}, 2},
        {"toolkit after posted", {true, 3, 0, 1, 0}, {false, 3, 0, 1, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearEventQueue();
        Queue(c.first);
        Queue(c.second);
        EXPECT_EQ(QueuedEventCount(), c.expectedCount);
    }
}

TEST_F(EventQueueTest, MergingLooksOnlyAtTheTail) {
    QueueToolkitEvent(15, 0, 47, 0);
    QueueToolkitEvent(3, 0, 5, 0);
    QueueToolkitEvent(15, 0, 47, 0);
    EXPECT_EQ(QueuedEventCount(), 3);
}

TEST_F(EventQueueTest, EventsComeOutInOrderWithTheirFields) {
    // Far more than one block of slots, taken while more arrive, so the ring wraps and grows.
    int64_t expected = 0;
    int64_t next = 0;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 50; ++i, ++next) QueueToolkitEvent(3, next % 7, next, next % 3);
        for (int i = 0; i < 20; ++i, ++expected) {
            int32_t code = 0;
            ASSERT_TRUE(TakeQueuedEvent(code));
            EXPECT_EQ(code, 3);
            EXPECT_EQ(EventGadget(), expected);
            EXPECT_EQ(EventWindow(), expected % 7);
            EXPECT_EQ(EventType(), expected % 3);
        }
    }
    EXPECT_EQ(QueuedEventCount(), next - expected);
}

TEST_F(EventQueueTest, SuppressionDropsToolkitEventsButNeverPostedOnes) {
    {
        SuppressEventsScope outer;
        {
            SuppressEventsScope inner;
            EXPECT_FALSE(QueueToolkitEvent(3, 0, 1, 0));
        }
        EXPECT_FALSE(QueueToolkitEvent(3, 0, 2, 0));  // still inside the outer scope
        PostEvent(1068, 0, 0);
    }
    EXPECT_TRUE(QueueToolkitEvent(3, 0, 3, 0));
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, 1068);
    EXPECT_EQ(events[1].object, 3);
}

TEST_F(EventQueueTest, RemovalByWindowAndByTimerKeepsTheRestInOrder) {
    QueueToolkitEvent(15, 0, 47, 0);
    QueueToolkitEvent(3, 1, 4, 0);
    QueueToolkitEvent(15, 0, 48, 0);
    PostEvent(1069, 1, 0);
    QueueToolkitEvent(15, 1, 47, 0);
    QueueToolkitEvent(3, 0, 5, 768);
    RemoveQueuedEvents(EventCodeTimer, 0, 47);
    RemoveQueuedWindowEvents(1);
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].object, 48);
    EXPECT_EQ(events[1].object, 5);
}

TEST_F(EventQueueTest, PostEventWithoutWindowHasTypeZero) {
    PostEvent(1070);
    EXPECT_EQ(WaitWindowEvent(), 1070);
    EXPECT_EQ(EventType(), 0);
    EXPECT_EQ(EventWindow(), -1);
}

TEST_F(EventQueueTest, WaitTakesAQueuedEventBeforeLookingAtThePlatform) {
    PostEvent(1068, 0, 9);
    QueueToolkitEvent(3, 0, 5, 768);
    EXPECT_EQ(WaitWindowEvent(), 1068);
    EXPECT_EQ(EventWindow(), 0);
    EXPECT_EQ(EventMenu(), 9);
    EXPECT_EQ(WaitWindowEvent(), 3);
    EXPECT_EQ(EventGadget(), 5);
    EXPECT_EQ(EventType(), 768);
}

TEST_F(EventQueueTest, PlatformEventThatQueuesNothingGivesMinusOne) {
    Settle();
    bool delivered = false;
    QTimer::singleShot(0, [&delivered] { delivered = true; });
    EXPECT_EQ(WaitWindowEvent(), -1);
    EXPECT_TRUE(delivered);
}

TEST_F(EventQueueTest, PlatformEventThatQueuesSomethingIsTakenAtOnce) {
    Settle();
    QTimer::singleShot(0, [] { QueueToolkitEvent(3, 0, 7, 0); });
    EXPECT_EQ(WaitWindowEvent(), 3);
    EXPECT_EQ(EventGadget(), 7);
}

TEST_F(EventQueueTest, TimedWaitGivesZeroWhenNothingArrives) {
    Settle();
    EXPECT_EQ(WaitWindowEvent(20), 0);
    QTimer::singleShot(5, [] { PostEvent(1071); });
    EXPECT_EQ(WaitWindowEvent(5000), 1071);
}

TEST_F(EventQueueTest, ModalRunsNest) {
    EXPECT_FALSE(ModalRunOpen());
    {
        ModalRunScope outer;
        {
            ModalRunScope inner;
            EXPECT_TRUE(ModalRunOpen());
        }
        EXPECT_TRUE(ModalRunOpen());
    }
    EXPECT_FALSE(ModalRunOpen());
}

}  // namespace
