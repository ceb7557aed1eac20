#include <gtest/gtest.h>

#include "session_test_support.h"
#include "quolk_version.h"

using namespace session_test;

namespace {
std::string U8(const Text& text) { return TextToUtf8(text); }
}  // namespace

TEST(SessionFormats, PlainByteCountsAndGroupedCounts) {
    const struct { int64_t bytes; const char* text; } sizes[] = {
        {0, "Zero KB"},          {1, "1 byte"},           {2, "2 bytes"},          {999, "999 bytes"},
        {1000, "1 KB"},          {1499, "1 KB"},          {1500, "2 KB"},          {999499, "999 KB"},
        {999500, "1 MB"},        {1000000, "1 MB"},       {12345678, "12.3 MB"},   {999960000, "1 GB"},
        {1523410000, "1.52 GB"}, {1500000000, "1.5 GB"},  {2000000000000, "2 TB"}, {-1500, "-2 KB"},
        {INT64_MAX, "9.22 EB"},
    };
    for (const auto& c : sizes) EXPECT_EQ(U8(PlainByteCount(c.bytes)), c.text) << c.bytes;
    const struct { int64_t n; const char* text; } counts[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {12345, "12,345"}, {-1234567, "-1,234,567"},
        {INT64_MIN, "-9,223,372,036,854,775,808"}};
    for (const auto& c : counts) EXPECT_EQ(U8(PlainGroupedCount(c.n)), c.text) << c.n;
}

TEST(SessionTexts, BadgeAndWindowTitle) {
    EXPECT_EQ(U8(BadgeText(212.75f)), "212.75 MB");
    EXPECT_EQ(U8(BadgeText(-3.25f)), "-3.25 MB");
    EXPECT_EQ(U8(WindowTitle(u"212.75 MB")), std::string(QuolkNameAndVersion) + " — 212.75 MB");
    EXPECT_EQ(U8(WindowTitle(u"")), QuolkNameAndVersion);
}

TEST_F(SessionTest, SliderSnapsAndReArmsOnlyARunningUnpausedSession) {
    const struct { int64_t value, snapped; } snaps[] = {
        {500, 500}, {749, 500}, {750, 1000}, {1249, 1000}, {1250, 1500}, {4999, 5000}, {5000, 5000}};
    for (const auto& c : snaps) EXPECT_EQ(SnapRefreshInterval(c.value), c.snapped) << c.value;
    EXPECT_EQ(U8(RefreshIntervalText(1500)), "1500 ms");

    Seen idle = See(SetRefreshInterval(context, 1300));
    EXPECT_EQ(idle.refreshIntervalMs.value_or(0), 1500);
    EXPECT_EQ(idle.timer, TimerChange::None);
    script.readings = Footprints({100, 100, 100});
    EXPECT_EQ(See(StartSession(context, false)).timerIntervalMs, 1500);
    const Seen running = See(SetRefreshInterval(context, 2600));
    EXPECT_EQ(running.timer, TimerChange::Arm);
    EXPECT_EQ(running.timerIntervalMs, 2500);
    TogglePause(context);
    const Seen paused = See(SetRefreshInterval(context, 600));
    EXPECT_EQ(paused.timer, TimerChange::None);
    EXPECT_EQ(context.settings.refreshIntervalMs, 500);
}

TEST_F(SessionTest, DockStatsSwitchAndStatListSetTheBadgeAtOnce) {
    Run(Footprints({100, 150, 120}));
    const Seen off = See(ToggleDockStats(context));
    EXPECT_EQ(off.statListEnabled, std::optional<bool>(false));
    EXPECT_EQ(U8(off.badge.value_or(u"(none)")), "");
    EXPECT_EQ(U8(See(StopSession(context)).badge.value_or(u"(none)")), "(none)");  // off: Stop leaves it
    const Seen on = See(ToggleDockStats(context));
    EXPECT_EQ(on.statListEnabled, std::optional<bool>(true));
    EXPECT_FALSE(on.badge);
    const struct { int64_t item; const char* badge; } picks[] = {
        {1, "150.00 MB"}, {0, "0.00 MB"}, {2, "0.00 MB"}, {-1, "(none)"}};
    for (const auto& c : picks)
        EXPECT_EQ(U8(See(SelectDockStat(context, c.item)).badge.value_or(u"(none)")), c.badge) << c.item;
}
