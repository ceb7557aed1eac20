// Waiting for the next program event: the platform's events are dispatched until one of them
// queues something for the program.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include "toolkit/event_queue.h"

namespace {

std::function<void()> waitHook;

// A queued event, else whatever the test's hook queues.
bool TakeQueuedOrHooked(int32_t& code) {
    if (TakeQueuedEvent(code)) return true;
    if (!waitHook) return false;
    waitHook();
    return TakeQueuedEvent(code);
}

}  // namespace

void SetEventWaitHook(std::function<void()> hook) { waitHook = std::move(hook); }

int32_t WaitWindowEvent() {
    int32_t code = 0;
    if (TakeQueuedOrHooked(code)) return code;
    // One platform event (or one batch of them) is dispatched; the controls' handlers queue what
    // the program should see. A dispatch that queued nothing is reported as -1.
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (TakeQueuedEvent(code)) return code;
    return -1;
}

int32_t WaitWindowEvent(int timeoutMs) {
    int32_t code = 0;
    if (TakeQueuedOrHooked(code)) return code;
    QDeadlineTimer deadline(timeoutMs < 0 ? 0 : timeoutMs);
    // A single-shot timer guarantees that the blocking wait below ends at the deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!deadline.hasExpired()) {
        wake.start(static_cast<int>(deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (TakeQueuedEvent(code)) return code;
    }
    return 0;
}
