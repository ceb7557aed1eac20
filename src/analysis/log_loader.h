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
// With rowCount, the rest of the file is read on to count every data row, the loaded ones too.
LogLoadResult LoadMonitorLog(TextView path, SampleHistory& history, int64_t* rowCount = nullptr);

// The requester's message for a failed load, with its line feed; "" for Loaded.
Text LoadErrorMessage(LogLoadResult result);

// What the times of day of one log have told so far: the last time of day and the days counted
// at each fall-back. Each load begins with its own.
struct LogTimeRollover {
    int64_t previousSeconds{-1};  // -1: no time of day yet
    int64_t dayOffset{};
};

// The time stamp of a row from its first field: a date, a time of day (seconds, plus a day for
// every fall-back the rollover counted), or 0 for an empty field, which also starts the rollover
// afresh.
DateValue ParseLogTimestamp(TextView field, LogTimeRollover& rollover);
