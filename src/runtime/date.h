// Dates: whole seconds of local wall-clock time since 1970-01-01 00:00:00, formatted and parsed
// with the masks %yyyy %yy %mm %dd %hh %ii %ss.
#pragma once

#include <cstdint>

#include "runtime/text.h"

// The UTC instant plus the local zone's offset at that instant; -1 is "no date".
using DateValue = int64_t;

// Now, in local wall-clock seconds.
DateValue Date();
// Milliseconds of a clock that only moves forward, for waits and deadlines: neither a change of
// the wall clock nor of the zone moves it.
int64_t MonotonicMs();
// "" for an empty mask or the date -1. The fields are those of the value read as UTC, which are the
// local wall-clock fields of its instant.
Text FormatDate(TextView mask, DateValue date);
// FormatDate(u"%hh:%ii:%ss", date) as ASCII in `buffer`, for the writers of files, which need no
// text; "" for the date -1.
std::string_view TimeOfDayAscii(DateValue date, char (&buffer)[9]);
// -1 for any mismatch, missing digits, trailing text or invalid date (years 1601 to 9999). A local
// time that the zone skips at a forward change of offset moves forward by the gap.
DateValue ParseDate(TextView mask, TextView text);

// The clock behind Date(): seconds since 1970 in UTC, with fraction. Tests replace it; nullptr
// restores the system clock.
using DateClock = double (*)();
void SetDateClock(DateClock clock);
