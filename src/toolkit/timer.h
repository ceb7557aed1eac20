// Window timers: repeating ticks queued as timer events (code 15) with the timer number as object
// and the window number as window. Unread ticks of one timer merge into one; ticks that fall in a
// requester's modal run are dropped.
#pragma once

#include <cstdint>

// Starts (or restarts) a timer on a window; the first tick comes one interval after the call.
// 1 on success; 0 for an interval below 1 or a missing window, and the window is then without
// that timer.
int AddWindowTimer(int64_t window, int64_t timer, int64_t intervalMs);
// Stops the timer; its queued ticks are removed too.
void RemoveWindowTimer(int64_t window, int64_t timer);
