// The program's event queue: every window, gadget, menu and timer event waits here until the
// program's loop takes it with WaitWindowEvent. The queue itself is plain C++ (no Qt), so that its
// rules can be tested and measured without a display; only the waiting needs Qt.
#pragma once

#include <cstdint>
#include <functional>

// Event codes.
enum EventCode : int32_t {
    EventCodeMenu = 1,
    EventCodeCloseWindow = 2,
    EventCodeGadget = 3,
    EventCodeRepaint = 4,
    EventCodeMoveWindow = 5,
    EventCodeSizeWindow = 6,
    EventCodeActivateWindow = 7,
    EventCodeDeactivateWindow = 8,
    EventCodeMinimizeWindow = 12,
    EventCodeMaximizeWindow = 13,
    EventCodeRestoreWindow = 14,
    EventCodeTimer = 15,
    EventCodeFirstProgramDefined = 1068,
};

// Gadget event types.
enum GadgetEventType : int64_t {
    EventTypeLeftClick = 0,
    EventTypeRightClick = 1,
    EventTypeLeftDoubleClick = 2,
    EventTypeColumnClick = 8,
    EventTypeFocus = 256,
    EventTypeLostFocus = 512,
    EventTypeChange = 768,
};

// Menu item numbers of the application menu.
enum ApplicationMenuItem : int64_t {
    MenuItemPreferences = -2,
    MenuItemAbout = -3,
    MenuItemQuit = -4,
};

struct ToolkitEvent {
    int32_t code = 0;
    int32_t flags = 0;    // EventPosted for PostEvent events
    int64_t object = 0;   // gadget, menu item or timer number
    int64_t window = -1;  // window number, -1 for none
    int64_t type = 0;
};
inline constexpr int32_t EventPosted = 1;

// --- Waiting and the current event ---------------------------------------------------------

// Takes the next event: a queued one at once, else waits for the platform and takes what its
// dispatch queued. The event code, or -1 when the platform event produced no program event.
int32_t WaitWindowEvent();
// Waits at most `timeoutMs` for a program event (platform events that produce none do not end
// the wait); 0 when none arrived in time.
int32_t WaitWindowEvent(int timeoutMs);

// Tests drive a program's loop through this: the hook runs whenever WaitWindowEvent finds the queue
// empty, before it waits for the platform, and what it queues is taken at once. An empty function
// removes it.
void SetEventWaitHook(std::function<void()> hook);

int64_t EventWindow();
int64_t EventGadget();
int64_t EventMenu();
int64_t EventTimer();
int64_t EventType();

// --- Queueing --------------------------------------------------------------------------------

// A program event of type 0; never dropped, never merged.
void PostEvent(int32_t code);
void PostEvent(int32_t code, int64_t window, int64_t object);

// An event from a toolkit source (a control, a window, a menu, a timer): dropped while events are
// suppressed, and not queued when it repeats the last queued event exactly. Returns whether it
// was queued.
bool QueueToolkitEvent(int32_t code, int64_t window, int64_t object, int64_t type);

// Programmatic changes raise this around themselves so that they do not come back as events.
void RaiseEventSuppression();
void LowerEventSuppression();
struct SuppressEventsScope {
    SuppressEventsScope() { RaiseEventSuppression(); }
    ~SuppressEventsScope() { LowerEventSuppression(); }
    SuppressEventsScope(const SuppressEventsScope&) = delete;
    SuppressEventsScope& operator=(const SuppressEventsScope&) = delete;
};

// Whether a requester's modal run is open (BeginModalRun/EndModalRun in modal.h).
bool ModalRunOpen();

// --- Queue maintenance -----------------------------------------------------------------------

// Moves the oldest queued event into the current event and gives its code. False when the queue
// is empty.
bool TakeQueuedEvent(int32_t& code);
int64_t QueuedEventCount();
// Removes every queued event of a window (a window being closed).
void RemoveQueuedWindowEvents(int64_t window);
// Removes every queued event with this code, window and object (a removed timer's ticks).
void RemoveQueuedEvents(int32_t code, int64_t window, int64_t object);
// Empties the queue and forgets the current event.
void ClearEventQueue();
