// Reading a CSV monitor log back into a history: the header check, the first 300 data rows, and
// the time stamps of its rows, with the change of day inferred where the times of day fall back.
#pragma once

#include <cstdint>

#include "monitor/sample_history.h"
#include "runtime/text.h"

enum class LogLoadResult { Loaded, OpenError, FormatError, RowCountError };

inline constexpr int64_t MaxLogRows = HistorySlotCount;
inline const TextView LogHeaderLine = u"Timestamp,Virtual(MB),Footprint(MB),Delta(MB),Peak(MB),Alerts";

// Loads the log at path into the history's slots from 0 upward; the history's count is left alone.
// A wrong header leaves the history untouched; any later outcome has cleared its slots first.
LogLoadResult LoadMonitorLog(TextView path, SampleHistory& history);

// The requester's message for a failed load, with its line feed; "" for Loaded.
Text LoadErrorMessage(LogLoadResult result);

// The time stamp of a row from its first field: a date, a time of day (seconds, plus a day for
// every fall-back since the rollover state was last reset), or 0 for an empty field, which also
// resets the rollover state.
DateValue ParseLogTimestamp(TextView field);
// Forgets the previous time of day and the days counted so far.
void ResetLogTimeRollover();
