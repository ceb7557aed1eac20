// The queue rules: suppression of programmatic changes, merging of a repeated toolkit event,
// first in first out. Everything runs on the GUI thread, so nothing here locks.
#include "toolkit/event_queue.h"

#include <cstddef>
#include <vector>

#include "toolkit/modal.h"

namespace {

// A ring of events whose capacity doubles when full, so that pushing and taking never allocate
// once the queue has reached its working size.
class EventRing {
public:
    bool Empty() const { return count_ == 0; }
    int64_t Count() const { return static_cast<int64_t>(count_); }

    const ToolkitEvent* Last() const {
        return count_ == 0 ? nullptr : &slots_[(head_ + count_ - 1) & (slots_.size() - 1)];
    }

    void Push(const ToolkitEvent& event) {
        if (count_ == slots_.size()) Grow();
        slots_[(head_ + count_) & (slots_.size() - 1)] = event;
        ++count_;
    }

    ToolkitEvent Pop() {
        ToolkitEvent event = slots_[head_];
        head_ = (head_ + 1) & (slots_.size() - 1);
        --count_;
        return event;
    }

    // Keeps the events for which keep(event) is true, in their order.
    template <typename Keep>
    void Filter(Keep keep) {
        std::size_t kept = 0;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = 0; i < count_; ++i) {
            const ToolkitEvent& event = slots_[(head_ + i) & mask];
            if (keep(event)) slots_[(head_ + kept++) & mask] = event;
        }
        count_ = kept;
    }

    void Clear() { head_ = count_ = 0; }

private:
    void Grow() {
        std::vector<ToolkitEvent> larger(slots_.empty() ? 256 : slots_.size() * 2);
        for (std::size_t i = 0; i < count_; ++i) larger[i] = slots_[(head_ + i) & (slots_.size() - 1)];
        slots_.swap(larger);
        head_ = 0;
    }

    std::vector<ToolkitEvent> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

EventRing queue;
ToolkitEvent currentEvent;
int suppression = 0;
int modalRuns = 0;

void Append(int32_t code, int32_t flags, int64_t window, int64_t object, int64_t type) {
    queue.Push(ToolkitEvent{code, flags, object, window, type});
}

}  // namespace

void PostEvent(int32_t code) { Append(code, EventPosted, -1, 0, 0); }

void PostEvent(int32_t code, int64_t window, int64_t object) {
    Append(code, EventPosted, window, object, 0);
}

bool QueueToolkitEvent(int32_t code, int64_t window, int64_t object, int64_t type) {
    if (suppression > 0) return false;
    if (code < 65536) {
        // Two ticks of one timer, or two unread edits of one field, become one event.
        const ToolkitEvent* last = queue.Last();
        if (last && last->code == code && last->object == object && last->window == window &&
            last->type == type)
            return false;
    }
    Append(code, 0, window, object, type);
    return true;
}

void RaiseEventSuppression() { ++suppression; }
void LowerEventSuppression() {
    if (suppression > 0) --suppression;
}

void BeginModalRun() { ++modalRuns; }
void EndModalRun() {
    if (modalRuns > 0) --modalRuns;
}
bool ModalRunOpen() { return modalRuns > 0; }

bool TakeQueuedEvent(int32_t& code) {
    if (queue.Empty()) return false;
    currentEvent = queue.Pop();
    code = currentEvent.code;
    return true;
}

int64_t QueuedEventCount() { return queue.Count(); }

void RemoveQueuedWindowEvents(int64_t window) {
    queue.Filter([window](const ToolkitEvent& e) { return e.window != window; });
}

void RemoveQueuedEvents(int32_t code, int64_t window, int64_t object) {
    queue.Filter([&](const ToolkitEvent& e) {
        return !(e.code == code && e.window == window && e.object == object);
    });
}

void ClearEventQueue() {
    queue.Clear();
    currentEvent = ToolkitEvent{};
}

int64_t EventWindow() { return currentEvent.window; }
int64_t EventGadget() { return currentEvent.object; }
int64_t EventMenu() { return currentEvent.object; }
int64_t EventTimer() { return currentEvent.object; }
int64_t EventType() { return currentEvent.type; }
