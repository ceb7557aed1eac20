// Window timers on Qt timers owned by the window's record.
#include "toolkit/timer.h"

#include <algorithm>
#include <limits>

#include "toolkit/event_queue.h"
#include "toolkit/window_record.h"

void StopWindowTimers(WindowRecord& record) { record.timers.clear(); }

void RemoveWindowTimer(int64_t window, int64_t timer) {
    WindowRecord* record = WindowTable().Get(window);
    if (!record) return;
    auto& timers = record->timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [timer](const WindowTimer& t) { return t.number == timer; }),
                 timers.end());
    // A tick queued before the removal must not arrive after it.
    RemoveQueuedEvents(EventCodeTimer, window, timer);
}

int AddWindowTimer(int64_t window, int64_t timer, int64_t intervalMs) {
    WindowRecord* record = FindWindowRecord(window);
    if (!record) return 0;
    RemoveWindowTimer(window, timer);
    if (intervalMs < 1) return 0;
    auto qtimer = std::make_unique<QTimer>();
    qtimer->setTimerType(Qt::PreciseTimer);
    qtimer->setInterval(static_cast<int>(std::min<int64_t>(intervalMs, std::numeric_limits<int>::max())));
    QObject::connect(qtimer.get(), &QTimer::timeout, [window, timer] {
        // A requester's modal run is no time for the program's periodic work.
        if (ModalRunOpen()) return;
        QueueToolkitEvent(EventCodeTimer, window, timer, 0);
    });
    qtimer->start();
    record->timers.push_back(WindowTimer{timer, std::move(qtimer)});
    return 1;
}
