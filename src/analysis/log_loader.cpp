#include "analysis/log_loader.h"

#include <cmath>

#include "strings/stringtable.h"
#include "runtime/date.h"
#include "runtime/file.h"

namespace {

constexpr int64_t SecondsPerDay = 86400;
constexpr int64_t NoPreviousSeconds = LogTimeRollover{}.previousSeconds;

// 64-bit arithmetic that wraps as the runtime's integers do, instead of overflowing.
int64_t WrapAdd(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t WrapMul(int64_t a, int64_t b) {
    return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

DateValue ParseTimeOfDay(TextView text, LogTimeRollover& rollover) {
    int64_t hours = Val(StringField(text, 1, u":"));
    int64_t minutes = Val(StringField(text, 2, u":"));
    int64_t seconds = Val(StringField(text, 3, u":"));
    int64_t s = WrapAdd(WrapAdd(WrapMul(hours, 3600), WrapMul(minutes, 60)), seconds);
    // A time of day below the previous one means the log passed midnight.
    if (rollover.previousSeconds != NoPreviousSeconds && s < rollover.previousSeconds)
        rollover.dayOffset = WrapAdd(rollover.dayOffset, SecondsPerDay);
    rollover.previousSeconds = s;
    return WrapAdd(rollover.dayOffset, s);
}

// 2^44 MB is 2^64 bytes, the whole 64-bit address space: no size of a real process, virtual or
// physical, comes near it, and the sampler never writes more. Below it, the analysis's sums over
// a full history, its differences and its percentages stay far inside the float range, where
// values near 3.4e38 would overflow them to infinity.
constexpr float LargestMemoryMB = 17592186044416.0f;

// A log line of the monitor is a few hundred bytes; a longer one is skipped unread, so that any
// file loads in bounded memory.
constexpr int64_t MaxLogLineBytes = 64 * 1024;

// A number field of a row; values that are not finite or beyond any memory size count as no
// value at all, so that they can neither make a slot active nor reach the report.
float ReadMBField(TextView field) {
    float value = ValF(field);
    return std::fabs(value) <= LargestMemoryMB ? value : 0.0f;  // also false for NaN
}

// The next line of the log; "" and tooLong for one longer than any log line.
Text ReadLogLine(int64_t file, bool& tooLong) {
    return ReadStringWithin(file, MaxLogLineBytes, tooLong);
}

// The next data row, or "" for a line that is none (too long, blank, a comment).
Text ReadDataRow(int64_t file) {
    bool tooLong = false;
    Text line = ReadLogLine(file, tooLong);
    Text trimmed = Trim(line);
    return tooLong || trimmed.empty() || trimmed[0] == u'#' ? Text() : line;
}

// Reads the data rows into slots 0 upward, never reading past the last row that fits; the
// number of rows read.
int64_t ReadRows(int64_t file, SampleHistory& history) {
    LogTimeRollover rollover;
    int64_t n = 0;
    while (n < MaxLogRows && !Eof(file)) {
        Text line = ReadDataRow(file);
        if (line.empty()) continue;
        HistoryPoint& point = history.slots[n];
        point.timestamp = ParseLogTimestamp(StringField(line, 1, u","), rollover);
        point.virtualMB = ReadMBField(StringField(line, 2, u","));
        point.footprintMB = ReadMBField(StringField(line, 3, u","));
        ++n;
    }
    return n;
}

// Line 1 is the header, or a comment naming the product followed by the header.
bool ReadHeader(int64_t file) {
    bool tooLong = false;
    Text line = ReadLogLine(file, tooLong);
    if (FindString(line, u"Quolk") > 0) line = ReadLogLine(file, tooLong);
    return !tooLong && line == LogHeaderLine;
}

}  // namespace

DateValue ParseLogTimestamp(TextView field, LogTimeRollover& rollover) {
    if (field.empty()) {
        rollover = LogTimeRollover{};
        return 0;
    }
    Text cleaned = RemoveString(field, u"\"");
    if (CountString(cleaned, u"/") >= 2 || CountString(cleaned, u"-") >= 2)
        return ParseDate(u"%yyyy/%mm/%dd %hh:%ii:%ss", ReplaceString(cleaned, u"-", u"/"));
    return ParseTimeOfDay(cleaned, rollover);
}

LogLoadResult LoadMonitorLog(TextView path, SampleHistory& history, int64_t* rowCount) {
    // No byte-order-mark option: a mark arrives as the first character of line 1, which a log
    // written by the monitor tolerates because its first line is the comment.
    int64_t file = ReadFile(AnyNumber, path);
    if (!file) return LogLoadResult::OpenError;
    if (!ReadHeader(file)) {
        CloseFile(file);
        return LogLoadResult::FormatError;
    }
    ClearHistorySlots(history);
    if (Eof(file)) {
        CloseFile(file);
        return LogLoadResult::RowCountError;
    }
    int64_t n = ReadRows(file, history);
    if (rowCount) {
        *rowCount = n;
        while (!Eof(file)) *rowCount += !ReadDataRow(file).empty();
    }
    CloseFile(file);
    return n <= 2 ? LogLoadResult::RowCountError : LogLoadResult::Loaded;
}

Text LoadErrorMessage(LogLoadResult result) {
    switch (result) {
        case LogLoadResult::OpenError: return LookupText(TextId::CannotOpenLog) + u"\n";
        case LogLoadResult::FormatError: return LookupText(TextId::NotALogPrefix) + u"Quolk.\n";
        case LogLoadResult::RowCountError: return LookupText(TextId::LogTooShort) + u"\n";
        case LogLoadResult::Loaded: break;
    }
    return Text();
}
