// Drives a dialog's own event loop from inside: each time the loop finds the program's queue empty
// (what the previous step caused has been handled) the next step runs. A step returns false when
// the dialog is not ready for it yet and is tried at the next wait. A dialog that does not close,
// before or after the last step, is closed by `giveUp` after a long grace period, and the test
// fails, instead of hanging.
#pragma once

#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "toolkit/event_queue.h"

class LoopScript {
public:
    using Step = std::function<bool()>;

    LoopScript(std::vector<Step> steps, std::function<void()> giveUp, int graceMs = 20000)
        : steps_(std::move(steps)), giveUp_(std::move(giveUp)) {
        SetEventWaitHook([this] { RunNext(); });
        watchdog_.setSingleShot(true);
        watchdog_.setInterval(graceMs);
        QObject::connect(&watchdog_, &QTimer::timeout, [this] {
            if (Done()) ADD_FAILURE() << "the dialog stayed open after its last step";
            else ADD_FAILURE() << "the dialog did not get through step " << next_ + 1 << " of " << steps_.size();
            SetEventWaitHook(nullptr);
            giveUp_();
        });
        watchdog_.start();
    }
    ~LoopScript() {
        SetEventWaitHook(nullptr);
        EXPECT_TRUE(Done()) << "steps left: " << steps_.size() - next_;
    }

    bool Done() const { return next_ == steps_.size(); }

private:
    void RunNext() {
        if (Done() || running_) return;
        running_ = true;  // a step may open a requester that waits in a loop of its own
        if (steps_[next_]()) ++next_;
        running_ = false;
    }

    std::vector<Step> steps_;
    std::function<void()> giveUp_;
    size_t next_ = 0;
    bool running_ = false;
    QTimer watchdog_;
};
