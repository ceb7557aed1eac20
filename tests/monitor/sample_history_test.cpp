#include "monitor/sample_history.h"

#include <gtest/gtest.h>

namespace {

TEST(SampleHistory, AppendKeepsOldestFirstAndDropsTheOldestWhenFull) {
    SampleHistory history;
    for (int i = 1; i <= 301; ++i) AppendHistoryPoint(history, 1000 + i, i < 301 ? i : 0.0f, 2.0f * i);
    EXPECT_EQ(history.count, 300);
    ASSERT_EQ(history.slots.size(), 300);
    EXPECT_EQ(history.slots[0].timestamp, 1002);  // the first point is gone
    EXPECT_EQ(history.slots[298].footprintMB, 300.0f);
    EXPECT_EQ(history.slots[299].timestamp, 1301);
    EXPECT_EQ(history.slots[299].virtualMB, 602.0f);  // a zero footprint is stored, though inactive
    EXPECT_FALSE(IsActive(history.slots[299]));
}

TEST(SampleHistory, ClearEmptiesSlotsAndCountWhileTheLoaderClearKeepsTheCount) {
    SampleHistory history;
    for (int i = 0; i < 120; ++i) AppendHistoryPoint(history, i + 1, 10.0f, 20.0f);
    ClearHistorySlots(history);
    EXPECT_EQ(history.count, 120);
    for (int64_t i = 0; i < 120; ++i) ASSERT_TRUE(history.slots[i].timestamp == 0 && !history.slots[i].virtualMB) << i;
    AppendHistoryPoint(history, 7, 1.0f, 1.0f);
    EXPECT_EQ(history.slots[120].timestamp, 7);  // appending goes on at the kept count
    ClearHistory(history);
    EXPECT_EQ(history.count, 0);
    EXPECT_EQ(history.slots[120].timestamp, 0);
}

}  // namespace
