#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "runtime/date.h"

namespace {

std::string U(TextView text) { return TextToUtf8(text); }

const char16_t* const FullMask = u"%yyyy/%mm/%dd %hh:%ii:%ss";
// Central European and US Eastern time with their summer times, so that no zone database is needed.
const char* const Berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const NewYork = "EST5EDT,M3.2.0,M11.1.0";

// Pins the process time zone while it lives.
struct TimeZoneGuard {
    explicit TimeZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved = old;
        setenv("TZ", zone, 1), tzset();
    }
    ~TimeZoneGuard() { saved ? setenv("TZ", saved->c_str(), 1) : unsetenv("TZ"), tzset(); }
    std::optional<std::string> saved;
};

TEST(ParseDate, ReadsValidStampsAndRefusesEverythingElse) {
    TimeZoneGuard zone("UTC0");
    for (const char* text : {"2023/02/29 13:05:09", "1900/02/29 00:00:00", "2024/04/31 00:00:00", "2024/13/01 00:00:00",
                             "2024/01/01 24:00:00", "1600/12/31 23:59:59", "2024/1/2 3:4:5 ", "2024/01/02 03:04", ""})
        EXPECT_EQ(ParseDate(FullMask, TextFromUtf8(text)), -1) << text;
    const struct { const char16_t* mask; const char* text; DateValue expected; } cases[] = {
        {FullMask, "2024/02/29 13:05:09", 1709211909}, {FullMask, "2024/1/2 3:4:5", 1704164645},
        {FullMask, "1601/01/01 00:00:00", -11644473600},
        {u"%yy", "69", 3124224000}, {u"%yy", "70", 0},  // 2069, 1970
        {u"%yyyyT%mm", "2024t01", -1}, {u"", "2024", -1},  // literals are case-sensitive
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseDate(c.mask, TextFromUtf8(c.text)), c.expected) << U(c.mask) << " reading " << c.text;
}

TEST(FormatDate, WritesTokensAndCopiesEverythingElse) {
    const DateValue morning = 1719824703;  // 2024-07-01 09:05:03
    const struct { const char16_t* mask; DateValue date; const char* expected; } cases[] = {
        {u"%YYYY-%Mm-%dD %HH.%II.%SS", morning, "2024-07-01 09.05.03"}, {u"%%yy%", morning, "%24%"},
        {u"%hh", -1, ""}, {FullMask, -2, "1969/12/31 23:59:58"},
    };
    for (const auto& c : cases) EXPECT_EQ(U(FormatDate(c.mask, c.date)), c.expected) << U(c.mask);
}

TEST(FormatDate, GivesBackWhatParseDateReadInAnyZone) {
    const char* const stamps[] = {"2024/03/31 01:30:00", "2024/10/27 02:30:00", "2024/11/03 01:30:00"};
    for (const char* zoneName : {Berlin, NewYork}) {
        TimeZoneGuard zone(zoneName);
        for (const char* stamp : stamps)
            EXPECT_EQ(U(FormatDate(FullMask, ParseDate(FullMask, TextFromUtf8(stamp)))), stamp) << zoneName;
    }
    TimeZoneGuard zone(Berlin);  // a wall-clock time the zone skips moves forward
    EXPECT_EQ(U(FormatDate(FullMask, ParseDate(FullMask, u"2024/03/31 02:30:00"))), "2024/03/31 03:30:00");
}

double clockNow = 0;

TEST(Date, IsTheInstantPlusTheZoneOffsetTruncated) {
    SetDateClock([] { return clockNow; });
    const struct { const char* zone; double utc; const char* expected; } cases[] = {
        {"UTC0", -0.5, "1970/01/01 00:00:00"},  // toward zero, not down to -1, "no date"
        {NewYork, 1700000000.75, "2023/11/14 17:13:20"}, {Berlin, 1711848600.0, "2024/03/31 03:30:00"},
        {Berlin, 1729989000.0, "2024/10/27 02:30:00"}, {Berlin, 1729992600.0, "2024/10/27 02:30:00"},
        // A zone whose summer time begins 30 s into a minute: 15 s later, not at the minute's offset.
        {"STD0DST,J1/0:00:30,J365/23", 1735689645.0, "2025/01/01 01:00:45"},
    };
    for (const auto& c : cases) {
        TimeZoneGuard zone(c.zone);
        clockNow = c.utc;
        EXPECT_EQ(U(FormatDate(FullMask, Date())), c.expected) << c.zone << " at " << c.utc;
    }
    SetDateClock(nullptr);
    EXPECT_GT(Date(), 1704067200);  // the system clock is back: later than 2024
}

}  // namespace
