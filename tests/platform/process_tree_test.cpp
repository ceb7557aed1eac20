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
    // 30 and 31 are each other's parent; 40 has a stat line without a closing bracket; 50, a child
    // of 10, has a state of two letters and blanks doubled.
    const std::pair<int32_t, int32_t> table[] = {{10, 1}, {11, 10}, {12, 10}, {13, 12}, {14, 13},
                                                 {20, 1}, {21, 20}, {30, 31}, {31, 30}};
    for (auto [pid, parent] : table) fixture.Add(pid, "stat", StatLine(pid, "a) b", "S", {{4, std::to_string(parent)}}));
    fixture.Add(40, "stat", "40 (broken S 10 1 1\n");
    fixture.Add(41, "");  // no stat file at all
    fixture.Add(50, "stat", "50 ((x) y) Sl  10 1\n");
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {10, {11, 12, 13, 14, 50}}, {12, {13, 14}}, {14, {}}, {20, {21}}, {30, {31}}, {99, {}}};
    for (const auto& [root, expected] : cases) {
        std::vector<int32_t> found = ListDescendants(root);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << root;
    }
}

// Where the kernel keeps children lists, every thread's list counts and the family is read from
// them alone: the stat lines (here naming nobody's parent) are not consulted.
TEST(ProcessTree, ChildrenListsOfEveryThreadGiveTheFamily) {
    ProcFixture fixture;
    const std::pair<std::string, std::string> files[] = {
        {"10/task/10/children", "11 "}, {"10/task/15/children", "12 "},  // a thread's own child
        {"12/task/12/children", "13 14 "}, {"13/task/13/children", ""},
        {"14/task/14/children", "12 16"},  // a PID met before, and one without a trailing blank
        {"16/task/16/children", ""}, {"20/task/20/children", "21 "}};
    for (const auto& [path, content] : files) {
        const std::string file = std::string(ProcRoot()) + "/" + path;
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file) << content;
    }
    for (int32_t pid : {10, 11, 12, 13, 14, 16, 20, 21}) fixture.Add(pid, "stat", StatLine(pid, "x", "S"));
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {10, {11, 12, 13, 14, 16}}, {12, {13, 14, 16}}, {13, {}}, {20, {21}}};
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
