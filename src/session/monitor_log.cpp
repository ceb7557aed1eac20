#include "session/monitor_log.h"

#include <cerrno>
#include <cstring>

#include "runtime/file.h"

namespace {

constexpr size_t MaxFileNameBytes = 255;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// UTF-8 length of one code point.
size_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// The target's name as a file name part: "/", control characters and broken surrogates become
// "_", and whole characters are kept while they fit in `budget` bytes of UTF-8.
Text FileNamePart(TextView name, size_t budget) {
    Text part;
    size_t used = 0;
    size_t units = 1;
    for (size_t i = 0; i < name.size(); i += units) {
        const char32_t c = CodePointAt(name, i, units);
        const bool replaced = c == u'/' || IsControl(c) || (c >= 0xD800 && c <= 0xDFFF);
        const size_t bytes = replaced ? 1 : Utf8Length(c);
        if (used + bytes > budget) break;
        used += bytes;
        if (replaced)
            part.push_back(u'_');
        else
            part.append(name.substr(i, units));
    }
    return part;
}

Text SystemReason(int error) { return TextFromUtf8(std::strerror(error != 0 ? error : EIO)); }

// The file cut back to the end of the last line that reached it whole. A file that cannot be cut
// (a device) keeps what it has.
void CutToWholeLine(MonitorLog& log) {
    const int64_t stored = FileStoredSize(log.file);
    int64_t whole = log.flushedBytes;
    for (int64_t end : log.lineEnds)
        if (end <= stored) whole = end;
    CutFile(log.file, whole);
}

// Marks the lines written so far as stored once a flush succeeded; otherwise keeps one more end.
void NoteLine(MonitorLog& log, bool flushed) {
    const int64_t end = FileWriteOffset(log.file);
    if (flushed) {
        log.flushedBytes = end;
        log.lineEnds.clear();
    } else {
        log.lineEnds.push_back(end);
    }
}

LogFailure Failure(MonitorLog& log, int error, bool creating) {
    if (log.file != 0) CutToWholeLine(log);
    if (log.file != 0) CloseFile(log.file);
    log.file = 0;
    log.failed = true;
    return LogFailure{log.path, SystemReason(error), creating};
}

}  // namespace

Text MonitorLogFileName(TextView targetName, int32_t pid, DateValue created) {
    const Text tail = u"_" + Str(pid) + u"_" + FormatDate(u"%dd-%mm-%yyyy_%hh-%ii-%ss", created) +
                      u"_monitor.csv";
    const size_t tailBytes = TextToUtf8(tail).size();
    const size_t budget = tailBytes < MaxFileNameBytes ? MaxFileNameBytes - tailBytes : 0;
    return FileNamePart(targetName, budget) + tail;
}

void FormatMonitorLogRow(std::string& row, DateValue time, float virtualMB, float footprintMB, float deltaMB,
                         float peakMB, std::string_view quotedAlerts) {
    // In bytes reused from tick to tick: a recording writes one a tick, and every temporary, every
    // conversion and every general formatter it runs through is work it pays for after each sleep.
    char timeOfDay[9];
    row.assign(TimeOfDayAscii(time, timeOfDay));
    char digits[StrFBytes];
    for (float value : {virtualMB, footprintMB, deltaMB, peakMB}) {
        row += ',';
        row += StrFAscii(value, 2, digits);
    }
    row += ',';
    row += quotedAlerts;
}

Text CsvQuoted(TextView field) { return u"\"" + ReplaceString(field, u"\"", u"\"\"") + u"\""; }

std::string CsvQuotedUtf8(TextView field) { return TextToUtf8(CsvQuoted(field)); }

LogFailure CreateMonitorLog(MonitorLog& log, bool enabled, TextView targetName, int32_t pid,
                            DateValue now) {
    CloseMonitorLog(log);
    log.path.clear();
    log.failed = false;
    if (!enabled || pid < 1) return {};
    return CreateMonitorLogIn(log, GetHomeDirectory(), targetName, pid, now);
}

LogFailure CreateMonitorLogIn(MonitorLog& log, TextView folder, TextView targetName, int32_t pid,
                              DateValue now) {
    return CreateMonitorLogAt(log, Text(folder) + MonitorLogFileName(targetName, pid, now));
}

LogFailure CreateMonitorLogAt(MonitorLog& log, TextView path, TextView header) {
    CloseMonitorLog(log);
    log.failed = false;
    log.path = Text(path);
    errno = 0;
    log.file = CreateFile(AnyNumber, log.path);
    if (log.file == 0) return Failure(log, errno, true);
    log.flushedBytes = 0;
    log.lineEnds.clear();
    WriteStringFormat(log.file);
    WriteStringN(log.file, MonitorLogTitleLine);
    WriteStringN(log.file, header);
    FlushFileBuffers(log.file);
    if (int error = FileError(log.file)) return Failure(log, error, false);
    NoteLine(log, true);
    return {};
}

LogFailure WriteMonitorLogRow(MonitorLog& log, std::string_view row, bool alertTick) {
    if (log.file == 0 || log.failed) return {};
    WriteUtf8N(log.file, row);
    const bool flush = alertTick || log.unflushedRows >= MonitorLogFlushRows - 1;
    if (flush) {
        FlushFileBuffers(log.file);
        log.unflushedRows = 0;
    } else {
        ++log.unflushedRows;
    }
    if (int error = FileError(log.file)) return Failure(log, error, false);
    NoteLine(log, flush);
    return {};
}

LogFailure CloseMonitorLog(MonitorLog& log) {
    if (log.file == 0) return {};
    FlushFileBuffers(log.file);
    const int error = FileError(log.file);
    if (error != 0 && !log.failed) CutToWholeLine(log);
    CloseFile(log.file);
    log.file = 0;
    if (error != 0 && !log.failed) {
        log.failed = true;
        return LogFailure{log.path, SystemReason(error), false};
    }
    return {};
}
