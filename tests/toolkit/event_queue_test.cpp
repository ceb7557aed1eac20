// The queue's rules: FIFO, merging into the last event only, posted events kept, suppression, removal.
#include <QTimer>

#include "toolkit_fixture.h"

namespace {

using EventQueueTest = ToolkitTest;

TEST_F(EventQueueTest, RepeatedToolkitEventMergesOnlyIntoTheLastQueuedEvent) {
    struct Queued { bool posted; int32_t code; int64_t window, object, type; };
    const struct { const char* name; std::vector<Queued> events; int64_t count; } cases[] = {
        {"same tick twice", {{false, 15, 0, 47, 0}, {false, 15, 0, 47, 0}}, 1},
        {"other window", {{false, 15, 0, 47, 0}, {false, 15, 1, 47, 0}}, 2},
        {"other type", {{false, 3, 0, 1, 0}, {false, 3, 0, 1, 768}}, 2},
        {"only the tail", {{false, 15, 0, 47, 0}, {false, 3, 0, 5, 0}, {false, 15, 0, 47, 0}}, 3},
        {"codes from 65536", {{false, 70000, 0, 1, 0}, {false, 70000, 0, 1, 0}}, 2},
        {"posted twice", {{true, 1068, 0, 0, 0}, {true, 1068, 0, 0, 0}}, 2},
    };
    for (const auto& c : cases) {
        ClearEventQueue();
        for (const Queued& e : c.events) {
            if (e.posted) PostEvent(e.code, e.window, e.object);
            else QueueToolkitEvent(e.code, e.window, e.object, e.type);
        }
        EXPECT_EQ(QueuedEventCount(), c.count) << c.name;
    }
}

TEST_F(EventQueueTest, EventsComeOutInOrderWithTheirFieldsAlsoAfterRemovals) {
    // Far more than one block of slots, taken while more arrive, so the ring wraps and grows.
    int64_t taken = 0, queued = 0;
    const auto takeNext = [&taken] {
        int32_t code = 0;
        ASSERT_TRUE(TakeQueuedEvent(code) && code == 3);
        ASSERT_EQ(EventGadget(), taken);
        ASSERT_EQ(EventWindow(), taken % 7);
        ASSERT_EQ(EventType(), taken % 3);
    };
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 50; ++i, ++queued) QueueToolkitEvent(3, queued % 7, queued, queued % 3);
        for (int i = 0; i < 20; ++i, ++taken) takeNext();
    }
    // Removing a window's events, or one timer's, keeps the rest in order.
    const int64_t gone = queued - 3;
    RemoveQueuedWindowEvents(6);
    RemoveQueuedEvents(3, gone % 7, gone);
    for (; taken < queued; ++taken)
        if (taken % 7 != 6 && taken != gone) takeNext();
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(EventQueueTest, SuppressionNestsAndNeverDropsPostedEvents) {
    RaiseEventSuppression();
    RaiseEventSuppression();
    LowerEventSuppression();
    EXPECT_FALSE(QueueToolkitEvent(3, 0, 2, 0)) << "still inside the outer suppression";
    PostEvent(1068, 0, 0);
    LowerEventSuppression();
    EXPECT_TRUE(QueueToolkitEvent(3, 0, 3, 0));
    EXPECT_EQ(QueuedEventCount(), 2);
}

TEST_F(EventQueueTest, WaitTakesQueuedEventsFirstThenWhatAPlatformEventQueuedOrMinusOne) {
    PostEvent(1068, 0, 9);
    EXPECT_EQ(WaitWindowEvent(), 1068);
    EXPECT_EQ(EventMenu(), 9);
    QTimer::singleShot(0, [] {});
    EXPECT_EQ(WaitWindowEvent(), -1) << "a platform event that queued nothing";
    QTimer::singleShot(0, [] { QueueToolkitEvent(3, 0, 7, 768); });
    EXPECT_EQ(WaitWindowEvent(), 3);
    EXPECT_EQ(EventGadget(), 7);
    EXPECT_EQ(WaitWindowEvent(20), 0) << "a timed wait without events";
    QTimer::singleShot(5, [] { PostEvent(1071); });
    EXPECT_EQ(WaitWindowEvent(5000), 1071);
}

}  // namespace
