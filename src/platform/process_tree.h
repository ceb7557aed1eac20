// The wall-clock time a process started. (Its family, with its descendants, is read by
// ProcessFamily.)
#pragma once

#include <cstdint>

// The start of a process as seconds since 1970 (UTC) from its start time in clock ticks since
// boot; -1 when the boot time cannot be read.
int64_t ProcessStartUnixTime(uint64_t startTicks);
