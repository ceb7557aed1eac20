#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "runtime/date.h"

namespace {

Text T(const std::string& utf8) { return TextFromUtf8(utf8); }
std::string U(TextView text) { return TextToUtf8(text); }

const char16_t* const FullMask = u"%yyyy/%mm/%dd %hh:%ii:%ss";
// Central European time with its summer time, spelled out so that no zone database is needed.
const char* const Berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const NewYork = "EST5EDT,M3.2.0,M11.1.0";

// Pins the process time zone for one test and restores the previous setting afterwards.
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneGuard() {
        if (old_) {
            setenv("TZ", old_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> old_;
};

// Restores the system clock behind Date() however a test ends.
struct ClockGuard {
    explicit ClockGuard(DateClock clock) { SetDateClock(clock); }
    ~ClockGuard() { SetDateClock(nullptr); }
};

TEST(ParseDate, ReadsValidTimeStamps) {
    TimeZoneGuard zone("UTC0");
    const struct {
        const char* text;
        DateValue expected;
    } cases[] = {
        {"2024/02/29 13:05:09", 1709211909},  // leap day
        {"2024/1/2 3:4:5", 1704164645},       // single-digit fields
        {"2024/01/02 03:04:05", 1704164645},
        {"2000/02/29 00:00:00", 951782400},   // divisible by 400: leap
        {"1601/01/01 00:00:00", -11644473600},
        {"9999/12/31 23:59:59", 253402300799},
        {"1970/01/01 00:00:00", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDate(FullMask, T(c.text)), c.expected) << c.text;
}

TEST(ParseDate, RefusesMismatchesAndInvalidDates) {
    TimeZoneGuard zone("UTC0");
    const char* const texts[] = {
        "2023/02/29 13:05:09",   // not a leap year
        "1900/02/29 00:00:00",   // divisible by 100: not leap
        "2024/04/31 00:00:00",   // April has 30 days
        "2024/02/30 00:00:00",
        "2024/01/32 00:00:00",
        "2024/01/00 00:00:00",
        "2024/13/01 00:00:00",
        "2024/00/10 00:00:00",
        "2024/01/01 24:00:00",
        "2024/01/01 00:60:00",
        "2024/01/01 00:00:60",
        "1600/12/31 23:59:59",   // before the first valid year
        "2024/1/2 3:4:5 ",       // trailing text
        "2024-01-02 03:04:05",   // wrong separator
        "2024/01/02 03:04",      // text ends early
        "2024/01/02 03:04:5x",
        "12345/01/02 03:04:05",  // the year takes four digits at most
        "2024/001/02 03:04:05",
        "2024/01/02 03:04:",     // a field without digits
        "",
    };
    for (const char* text : texts) EXPECT_EQ(ParseDate(FullMask, T(text)), -1) << text;
}

TEST(ParseDate, MaskTokensAndPlaceholders) {
    TimeZoneGuard zone("UTC0");
    const struct {
        const char16_t* mask;
        const char* text;
        DateValue expected;
    } cases[] = {
        {u"%yy", "69", 3124224000},  // 2069
        {u"%yy", "70", 0},           // 1970
        {u"%yy", "5", 1104537600},   // 2005
        {u"%yy", "99", 915148800},   // 1999
        {u"%YYYY-%MM-%Dd", "2024-01-02", 1704153600},
        {u"%yyyy%x%mm%q%dd", "2024-01/02", 1704153600},  // "%" and another letter skip one character
        {u"%yyyy%x%mm", "2024", -1},                     // ... but there must be one
        {u"%yyyyT%mm", "2024t01", -1},                   // literals are case-sensitive
        {u"%yyyy%mm%dd", "20240102", 1704153600},
        {u"%yyyy%", "2024%", 1704067200},                // a lone "%" at the end is a literal
        {u"%yyy", "24y", 1704067200},                    // "%yy" and a literal "y"
        {u"", "2024", -1},
        {u"%hh", "7", 25200},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDate(c.mask, T(c.text)), c.expected) << U(c.mask) << " reading " << c.text;
    }
}

TEST(FormatDate, WritesTokensAndCopiesEverythingElse) {
    const DateValue morning = 1719824703;  // 2024-07-01 09:05:03
    const struct {
        const char16_t* mask;
        DateValue date;
        const char* expected;
    } cases[] = {
        {u"%hh:%ii:%ss", morning, "09:05:03"},
        {FullMask, morning, "2024/07/01 09:05:03"},
        {u"%YYYY-%Mm-%dD %HH.%II.%SS", morning, "2024-07-01 09.05.03"},
        {u"%yy", morning, "24"},
        {u"100%", morning, "100%"},
        {u"%%yy%", morning, "%24%"},
        {u"%q%y%", morning, "%q%y%"},
        {u"", morning, ""},
        {u"%hh", -1, ""},
        {FullMask, 0, "1970/01/01 00:00:00"},
        {FullMask, -2, "1969/12/31 23:59:58"},
        {FullMask, -11644473600, "1601/01/01 00:00:00"},
        {FullMask, -62167219200, "0000/01/01 00:00:00"},
        {u"%yyyy %yy", 253402300799, "9999 99"},
    };
    for (const auto& c : cases) EXPECT_EQ(U(FormatDate(c.mask, c.date)), c.expected) << U(c.mask);
}

TEST(FormatDate, GivesBackWhatParseDateRead) {
    const char* const zones[] = {"UTC0", Berlin, NewYork};
    const char* const stamps[] = {"2024/02/29 13:05:09", "1601/01/01 00:00:00", "9999/12/31 23:59:59",
                                  "2024/03/31 01:30:00", "2024/10/27 02:30:00", "2024/11/03 01:30:00",
                                  "2026/12/05 14:03:27"};
    for (const char* zoneName : zones) {
        TimeZoneGuard zone(zoneName);
        for (const char* stamp : stamps) {
            EXPECT_EQ(U(FormatDate(FullMask, ParseDate(FullMask, T(stamp)))), stamp) << zoneName;
        }
    }
}

TEST(FormatDate, AWallClockTimeSkippedByTheZoneMovesForward) {
    TimeZoneGuard zone(Berlin);
    EXPECT_EQ(U(FormatDate(FullMask, ParseDate(FullMask, u"2024/03/31 02:30:00"))), "2024/03/31 03:30:00");
}

double clockNow = 0;
double FakeClock() { return clockNow; }

TEST(Date, IsTheInstantPlusTheZoneOffsetTruncated) {
    ClockGuard clock(FakeClock);
    const struct {
        const char* zone;
        double utc;
        DateValue expected;
    } cases[] = {
        {"UTC0", 1700000000.75, 1700000000},
        {"UTC0", -0.5, 0},  // toward zero, not down
        {Berlin, 1700000000.75, 1700003600},  // winter: +1 hour
        {Berlin, 1720000000.5, 1720007200},   // summer: +2 hours
        {NewYork, 1700000000.0, 1699982000},  // -5 hours
        {Berlin, 1711845000.0, 1711848600},   // 00:30 UTC before the spring change: 01:30 local
        {Berlin, 1711848600.0, 1711855800},   // 01:30 UTC after it: 03:30 local
    };
    for (const auto& c : cases) {
        TimeZoneGuard zone(c.zone);
        clockNow = c.utc;
        EXPECT_EQ(Date(), c.expected) << c.zone << " at " << c.utc;
    }
}

TEST(Date, FormatsTheLocalClockNextToAChangeOfOffset) {
    ClockGuard clock(FakeClock);
    TimeZoneGuard zone(Berlin);
    const struct {
        double utc;
        const char* expected;
    } cases[] = {
        {1711845000.0, "01:30"},  // 2024-03-31 00:30 UTC, the hour before the clocks go forward
        {1711848600.0, "03:30"},  // 01:30 UTC, just after
        {1729985400.0, "01:30"},  // 2024-10-26 23:30 UTC, summer time, the hour before going back
        {1729989000.0, "02:30"},  // 00:30 UTC, still summer time
        {1729992600.0, "02:30"},  // 01:30 UTC, winter time: the hour repeats
    };
    for (const auto& c : cases) {
        clockNow = c.utc;
        EXPECT_EQ(U(FormatDate(u"%hh:%ii", Date())), c.expected) << c.utc;
    }
}

TEST(Date, SystemClockComesBackWhenTheFakeIsRemoved) {
    {
        ClockGuard clock(FakeClock);
        clockNow = 0;
        TimeZoneGuard zone("UTC0");
        EXPECT_EQ(Date(), 0);
    }
    const DateValue now = Date();
    EXPECT_GT(now, 1704067200);  // later than 2024-01-01
    EXPECT_EQ(U(FormatDate(FullMask, ParseDate(FullMask, FormatDate(FullMask, now)))),
              U(FormatDate(FullMask, now)));
}

}  // namespace
