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

}  // namespace
