// Every toolkit test starts and ends without windows and with an empty queue.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "toolkit/event_queue.h"
#include "toolkit/window.h"

using Pairs = std::vector<std::pair<int64_t, int64_t>>;

// Hands the modal dialog to `act` once its own event loop runs (exec shows it before that).
inline void WhenModalOpens(std::function<void(QWidget*)> act, int attempts = 300) {
    QTimer::singleShot(10, [act, attempts] {
        if (QWidget* dialog = QApplication::activeModalWidget()) act(dialog);
        else if (attempts > 0) WhenModalOpens(act, attempts - 1);
    });
}

class ToolkitTest : public testing::Test {
protected:
    void SetUp() override {
        CloseWindow(-1);
        Settle();
    }
    void TearDown() override { SetUp(); }
    // Lets the platform deliver what is pending (activation, exposure) and forgets what it queued.
    static void Settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
        ClearEventQueue();
    }
    // Every queued event, oldest first; the queue is empty afterwards.
    static std::vector<ToolkitEvent> TakeAll() {
        std::vector<ToolkitEvent> events;
        for (int32_t code = 0; TakeQueuedEvent(code);)
            events.push_back(ToolkitEvent{code, 0, EventGadget(), EventWindow(), EventType()});
        return events;
    }
    static Pairs TakeGadgetEvents() {
        Pairs found;
        for (const ToolkitEvent& e : TakeAll())
            if (e.code == EventCodeGadget) found.emplace_back(e.object, e.type);
        return found;
    }
};
