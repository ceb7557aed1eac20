// Shared set-up of the toolkit tests: every test starts without windows and with an empty queue,
// and reads what the platform's dispatch queued as a list of events.
#pragma once

#include <vector>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "toolkit/event_queue.h"
#include "toolkit/window.h"

class ToolkitTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

    static void Reset() {
        CloseWindow(-1);
        QCoreApplication::processEvents();
        ClearEventQueue();
    }

    // Lets the platform deliver what is pending (activation, exposure) and forgets what it queued.
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        ClearEventQueue();
    }

    // Every queued event, oldest first; the queue is empty afterwards.
    static std::vector<ToolkitEvent> TakeAll() {
        std::vector<ToolkitEvent> events;
        int32_t code = 0;
        while (TakeQueuedEvent(code))
            events.push_back(ToolkitEvent{code, 0, EventGadget(), EventWindow(), EventType()});
        return events;
    }

    // The gadget events among them, as (gadget, type) pairs.
    static std::vector<std::pair<int64_t, int64_t>> GadgetEventsIn(const std::vector<ToolkitEvent>& events) {
        std::vector<std::pair<int64_t, int64_t>> found;
        for (const ToolkitEvent& e : events)
            if (e.code == EventCodeGadget) found.emplace_back(e.object, e.type);
        return found;
    }
    static std::vector<std::pair<int64_t, int64_t>> TakeGadgetEvents() { return GadgetEventsIn(TakeAll()); }

    using Pairs = std::vector<std::pair<int64_t, int64_t>>;
};
