// Dates as local wall-clock seconds, formatted and parsed by masks.
//
// A DateValue read as if it were UTC gives the local date and time, so formatting is calendar
// arithmetic alone. The time zone is consulted only where an instant meets the wall clock: in
// Date(), and when ParseDate turns fields back into a value. glibc reads the zone once and keeps
// it; localtime_r does not re-read it per call (mktime would, with a stat of /etc/localtime).
#include "runtime/date.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t SecondsPerDay = 86400;

struct DateFields {
    int64_t year = 1970;
    int64_t month = 1;
    int64_t day = 1;
    int64_t hour = 0;
    int64_t minute = 0;
    int64_t second = 0;
};

double SystemClock() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::atomic<DateClock> currentClock{SystemClock};

// Offset of the local zone from UTC at a UTC instant, in seconds; 0 where the zone has no answer
// (instants whose year does not fit the C library's calendar).
int64_t ZoneOffset(int64_t instant) {
    const time_t t = static_cast<time_t>(instant);
    tm fields{};
    return localtime_r(&t, &fields) ? fields.tm_gmtoff : 0;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

DateFields FieldsFromSeconds(int64_t seconds) {
    const int64_t days = FloorDiv(seconds, SecondsPerDay);
    // From the remainder, not from days * SecondsPerDay, which leaves the 64-bit range for the
    // lowest values.
    const int64_t remainder = seconds % SecondsPerDay;
    const int64_t timeOfDay = remainder < 0 ? remainder + SecondsPerDay : remainder;
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    DateFields f;
    f.day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    f.month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    f.year = yearOfEra + era * 400 + (f.month <= 2);
    f.hour = timeOfDay / 3600;
    f.minute = timeOfDay / 60 % 60;
    f.second = timeOfDay % 60;
    return f;
}

// The value of local fields: the instant whose wall-clock reading they are, plus the offset at that
// instant. Away from a change of offset this is the fields read as UTC. A wall-clock time that the
// zone skips (the gap of a forward change) is read with the offset from before the change, which
// moves it forward by the gap, as calendars do.
DateValue BuildDate(const DateFields& f) {
    const int64_t local = DaysFromCivil(f.year, f.month, f.day) * SecondsPerDay + f.hour * 3600 +
                          f.minute * 60 + f.second;
    const int64_t firstOffset = ZoneOffset(local);
    int64_t instant = local - firstOffset;
    int64_t offset = ZoneOffset(instant);
    if (offset != firstOffset) {
        const int64_t second = local - offset;
        if (ZoneOffset(second) == offset) {
            instant = second;
        } else {
            instant = local - ZoneOffset(std::min(instant, second));
            offset = ZoneOffset(instant);
        }
    }
    return instant + offset;
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool FieldsAreValid(const DateFields& f) {
    if (f.year < 1601 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1) return false;
    static constexpr int64_t daysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int64_t lastDay = f.month == 2 && IsLeapYear(f.year) ? 29 : daysInMonth[f.month - 1];
    return f.day <= lastDay && f.hour <= 23 && f.minute <= 59 && f.second <= 59;
}

enum class MaskToken { None, Year, ShortYear, Month, Day, Hour, Minute, Second };

struct TokenForm {
    MaskToken token;
    std::u16string_view letters;
};

// Longest first, so that "%yyyy" is not read as "%yy" followed by "yy".
constexpr TokenForm tokenForms[] = {
    {MaskToken::Year, u"yyyy"},  {MaskToken::ShortYear, u"yy"}, {MaskToken::Month, u"mm"},
    {MaskToken::Day, u"dd"},     {MaskToken::Hour, u"hh"},      {MaskToken::Minute, u"ii"},
    {MaskToken::Second, u"ss"},
};

// The token whose letters begin `rest` (the mask just behind a "%"), ignoring case.
const TokenForm* MatchToken(TextView rest) {
    for (const TokenForm& form : tokenForms) {
        if (rest.size() < form.letters.size()) continue;
        bool same = true;
        for (size_t i = 0; i < form.letters.size() && same; ++i) {
            char16_t c = rest[i];
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
            same = c == form.letters[i];
        }
        if (same) return &form;
    }
    return nullptr;
}

int64_t* FieldOf(DateFields& f, MaskToken token) {
    switch (token) {
        case MaskToken::Month: return &f.month;
        case MaskToken::Day: return &f.day;
        case MaskToken::Hour: return &f.hour;
        case MaskToken::Minute: return &f.minute;
        case MaskToken::Second: return &f.second;
        default: return &f.year;
    }
}

void AppendDigits(Text& out, int64_t value, int minDigits) {
    char buffer[24];
    int n = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        buffer[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 || n < minDigits);
    if (value < 0) out.push_back(u'-');
    while (n > 0) out.push_back(static_cast<char16_t>(buffer[--n]));
}

void AppendField(Text& out, MaskToken token, DateFields& f) {
    if (token == MaskToken::Year) return AppendDigits(out, f.year, 4);
    if (token == MaskToken::ShortYear) return AppendDigits(out, (f.year % 100 + 100) % 100, 2);
    AppendDigits(out, *FieldOf(f, token), 2);
}

// Reads one to `maxDigits` decimal digits at text[at]; the count read, 0 when there is no digit.
size_t ReadDigits(TextView text, size_t at, size_t maxDigits, int64_t& value) {
    size_t n = 0;
    value = 0;
    while (n < maxDigits && at + n < text.size() && text[at + n] >= u'0' && text[at + n] <= u'9') {
        value = value * 10 + (text[at + n] - u'0');
        ++n;
    }
    return n;
}

}  // namespace

void SetDateClock(DateClock clock) { currentClock = clock ? clock : SystemClock; }

namespace {

// The zone's offset for Date(), kept for the minute it was asked in: a recording asks once a tick,
// and localtime_r runs the zone's rules each time. A minute is kept only when it begins and ends at
// the same offset, so that a change of offset within it is never missed.
int64_t OffsetNow(int64_t instant) {
    thread_local int64_t keptMinute = INT64_MIN, keptOffset = 0;
    const int64_t minute = FloorDiv(instant, 60);
    if (minute == keptMinute) return keptOffset;
    const int64_t offset = ZoneOffset(minute * 60);
    if (ZoneOffset(minute * 60 + 59) != offset) return ZoneOffset(instant);
    keptMinute = minute;
    keptOffset = offset;
    return offset;
}

}  // namespace

DateValue Date() {
    const double now = currentClock.load()();
    // A clock outside the 64-bit range of seconds has no date to give.
    if (!(std::fabs(now) < 9.0e18)) return -1;
    // Whole seconds by conversion, which truncates: the maths library's floor is a page more to
    // fetch on every tick of a recording.
    auto second = static_cast<int64_t>(now);
    if (static_cast<double>(second) > now) --second;
    const double local = now + static_cast<double>(OffsetNow(second));
    return static_cast<DateValue>(local);
}

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string_view TimeOfDayAscii(DateValue date, char (&buffer)[9]) {
    if (date == -1) return {};
    const DateFields f = FieldsFromSeconds(date);
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", int(f.hour), int(f.minute), int(f.second));
    return std::string_view(buffer, 8);
}

Text FormatDate(TextView mask, DateValue date) {
    if (mask.empty() || date == -1) return {};
    // Read as UTC, the value gives the wall clock of its instant. Asking the zone again here would
    // misread the hour next to a change of offset (01:30 before a forward change showing 00:30).
    DateFields fields = FieldsFromSeconds(date);
    Text out;
    out.reserve(mask.size() + 8);
    for (size_t i = 0; i < mask.size();) {
        const TokenForm* form = mask[i] == u'%' ? MatchToken(mask.substr(i + 1)) : nullptr;
        if (form) {
            AppendField(out, form->token, fields);
            i += 1 + form->letters.size();
        } else {
            out.push_back(mask[i++]);  // also a "%" that starts no token
        }
    }
    return out;
}

DateValue ParseDate(TextView mask, TextView text) {
    if (mask.empty() || text.empty()) return -1;
    DateFields fields;
    size_t m = 0;
    size_t t = 0;
    while (m < mask.size()) {
        if (mask[m] == u'%' && m + 1 < mask.size()) {
            if (const TokenForm* form = MatchToken(mask.substr(m + 1))) {
                int64_t value = 0;
                const size_t n = ReadDigits(text, t, form->token == MaskToken::Year ? 4 : 2, value);
                if (n == 0) return -1;
                if (form->token == MaskToken::ShortYear) value += value < 70 ? 2000 : 1900;
                *FieldOf(fields, form->token) = value;
                m += 1 + form->letters.size();
                t += n;
                continue;
            }
            // "%" with any other character stands for one character of the text, whatever it is.
            if (t >= text.size()) return -1;
            m += 2;
            t += 1;
            continue;
        }
        // A lone "%" at the end of the mask is matched like any other character.
        if (t >= text.size() || mask[m] != text[t]) return -1;
        ++m;
        ++t;
    }
    if (t != text.size() || !FieldsAreValid(fields)) return -1;
    return BuildDate(fields);
}
