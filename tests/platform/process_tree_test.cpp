// Descendants found from the parent PIDs of a fixture process root.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/process_tree.h"
#include "proc_fixture.h"

namespace {

TEST(ProcessTree, DescendantsFollowTheParentChainsOnly) {
    ProcFixture fixture;
    // (pid, parent): 10 has children 11 and 12, 12 has 13, 13 has 14; 20 and 21 are unrelated;
    // 30 and 31 are each other's parent; 40 has a stat line without a closing bracket.
    const std::pair<int32_t, int32_t> table[] = {{10, 1}, {11, 10}, {12, 10}, {13, 12}, {14, 13},
                                                 {20, 1}, {21, 20}, {30, 31}, {31, 30}};
    for (auto [pid, parent] : table) fixture.Add(pid, "stat", StatLine(pid, "a) b", "S", {{4, std::to_string(parent)}}));
    fixture.Add(40, "stat", "40 (broken S 10 1 1\n");
    fixture.Add(41, "");  // no stat file at all
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {10, {11, 12, 13, 14}}, {12, {13, 14}}, {14, {}}, {20, {21}}, {30, {31}}, {99, {}}};
    for (const auto& [root, expected] : cases) {
        std::vector<int32_t> found = ListDescendants(root);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << root;
    }
}

TEST(ProcessTree, StartTimesAreAfterBootAndNotInTheFuture) {
    const int64_t now = time(nullptr);
    const int64_t self = ProcessStartUnixTime(ProcessStartTime(getpid()));
    EXPECT_LE(self, now);
    EXPECT_GT(self, now - 24 * 3600 * 365);
    EXPECT_LE(ProcessStartUnixTime(0), self);
}

}  // namespace
