#include "monitor/sample_history.h"

#include <gtest/gtest.h>

namespace {

int64_t ActiveCount(const SampleHistory& history) {
    int64_t n = 0;
    for (int64_t i = 0; i < history.slots.size(); ++i) n += IsActive(history.slots[i]) ? 1 : 0;
    return n;
}

TEST(SampleHistory, StartsWithThreeHundredZeroSlotsAndNoPoints) {
    SampleHistory history;
    ASSERT_EQ(history.slots.size(), 300);
    EXPECT_EQ(history.count, 0);
    EXPECT_EQ(ActiveCount(history), 0);
    EXPECT_EQ(history.slots[299].timestamp, 0);
}

TEST(SampleHistory, AppendKeepsOldestFirstAndDropsTheOldestWhenFull) {
    SampleHistory history;
    for (int i = 1; i <= 300; ++i) AppendHistoryPoint(history, 1000 + i, static_cast<float>(i), 2.0f * i);
    EXPECT_EQ(history.count, 300);
    EXPECT_EQ(history.slots[0].timestamp, 1001);
    EXPECT_EQ(history.slots[299].footprintMB, 300.0f);

    AppendHistoryPoint(history, 5000, 301.0f, 602.0f);
    EXPECT_EQ(history.count, 300);
    EXPECT_EQ(history.slots[0].timestamp, 1002);  // the first point is gone
    EXPECT_EQ(history.slots[0].footprintMB, 2.0f);
    EXPECT_EQ(history.slots[298].footprintMB, 300.0f);
    EXPECT_EQ(history.slots[299].timestamp, 5000);
    EXPECT_EQ(history.slots[299].footprintMB, 301.0f);
    EXPECT_EQ(history.slots[299].virtualMB, 602.0f);
}

TEST(SampleHistory, AZeroFootprintIsStoredButInactive) {
    SampleHistory history;
    AppendHistoryPoint(history, 10, 0.0f, 55.0f);
    AppendHistoryPoint(history, 11, -1.0f, 55.0f);
    AppendHistoryPoint(history, 12, 0.5f, 55.0f);
    EXPECT_EQ(history.count, 3);
    EXPECT_EQ(history.slots[0].virtualMB, 55.0f);
    EXPECT_FALSE(IsActive(history.slots[0]));
    EXPECT_FALSE(IsActive(history.slots[1]));
    EXPECT_TRUE(IsActive(history.slots[2]));
}

TEST(SampleHistory, ClearEmptiesSlotsAndCountWhileSlotClearingKeepsTheCount) {
    SampleHistory history;
    for (int i = 0; i < 120; ++i) AppendHistoryPoint(history, i, 10.0f, 20.0f);

    ClearHistorySlots(history);
    EXPECT_EQ(history.count, 120);
    EXPECT_EQ(ActiveCount(history), 0);
    EXPECT_EQ(history.slots[119].timestamp, 0);
    EXPECT_EQ(history.slots[119].virtualMB, 0.0f);

    AppendHistoryPoint(history, 7, 1.0f, 1.0f);
    EXPECT_EQ(history.slots[120].timestamp, 7);  // appending continues at the kept count

    ClearHistory(history);
    EXPECT_EQ(history.count, 0);
    EXPECT_EQ(ActiveCount(history), 0);
    AppendHistoryPoint(history, 8, 1.0f, 1.0f);
    EXPECT_EQ(history.slots[0].timestamp, 8);
}

TEST(SampleHistory, TheApplicationHasOneHistory) {
    EXPECT_EQ(&AppSampleHistory(), &AppSampleHistory());
    EXPECT_EQ(AppSampleHistory().slots.size(), 300);
}

}  // namespace
