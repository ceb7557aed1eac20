// The family of a process, read as one: who belongs to it, from fixture process roots, and what it
// costs in memory, from real processes that share pages after fork.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "platform/process_family.h"
#include "proc_fixture.h"

namespace {

// The PIDs of the root's descendants that a reading finds, in order; nothing when it cannot read.
std::vector<int32_t> Descendants(int32_t root) {
    ProcessFamily family;
    FamilyReading reading;
    if (!family.Follow(root, 0) || !family.Read(reading)) return {-1};
    std::vector<int32_t> found;
    for (const FamilyMember& m : family.Members())
        if (m.pid != root) found.push_back(m.pid);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(size_t(reading.members), found.size() + 1);
    return found;
}

bool IsZombie(int32_t pid) {
    return ReadBytes("/proc/" + std::to_string(pid) + "/stat").find(") Z ") != std::string::npos;
}

void AddProcess(const ProcFixture& fixture, int32_t pid, int32_t parent, int threads = 1) {
    fixture.Add(pid, "stat", StatLine(pid, "a) b", "S", {{4, std::to_string(parent)}, {20, std::to_string(threads)}}));
}

}  // namespace

// Where the kernel keeps no children lists, the family follows the parent PIDs of every process's
// stat line, and a process met twice (a cycle in the table) counts once.
TEST(ProcessFamily, WithoutChildrenListsTheParentChainsTell) {
    ProcFixture fixture;
    // (pid, parent): 10 has children 11 and 12, 12 has 13, 13 has 14; 20 and 21 are unrelated;
    // 30 and 31 are each other's parent; 40 has a stat line without a closing bracket; 50, a child
    // of 10, has brackets in its name and blanks doubled.
    const std::pair<int32_t, int32_t> table[] = {{10, 1}, {11, 10}, {12, 10}, {13, 12}, {14, 13},
                                                 {20, 1}, {21, 20}, {30, 31}, {31, 30}};
    for (auto [pid, parent] : table) AddProcess(fixture, pid, parent);
    fixture.Add(40, "stat", "40 (broken S 10 1 1\n");
    fixture.Add(41, "");  // no stat file at all
    std::string doubled = StatLine(50, "(x) y", "S", {{4, "10"}, {20, "1"}});
    fixture.Add(50, "stat", doubled.replace(doubled.find(") S "), 4, ")  S  "));
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {10, {11, 12, 13, 14, 50}}, {12, {13, 14}}, {14, {}}, {20, {21}}, {30, {31}}, {99, {-1}}};
    for (const auto& [root, expected] : cases) EXPECT_EQ(Descendants(root), expected) << root;
}

// Where it keeps them, each thread's list counts (a member with many threads, which has its
// children from the parent PIDs instead, is a real process's test below). A listed PID whose own
// stat line names another parent (a process that took over a PID the list named) is no member.
TEST(ProcessFamily, ChildrenListsOfEveryThreadGiveTheFamily) {
    ProcFixture fixture;
    const std::pair<std::string, std::string> lists[] = {
        {"10/task/10/children", "11 "}, {"10/task/15/children", "12 "},  // a thread's own child
        {"12/task/12/children", "13 14 "}, {"13/task/13/children", ""},
        {"14/task/14/children", "12 16"},  // a PID met before, and one without a trailing blank
        {"16/task/16/children", "17 "}};
    for (const auto& [path, content] : lists) {
        const size_t slash = path.find('/');
        fixture.Add(std::stoi(path.substr(0, slash)), path.substr(slash + 1), content);
    }
    const struct { int32_t pid, parent, threads; } processes[] = {
        {10, 1, 2}, {11, 10, 1}, {12, 10, 1}, {13, 12, 1}, {14, 12, 1}, {16, 14, 1},
        {17, 99, 1}};  // listed by 16, but its stat names another parent
    for (const auto& p : processes) AddProcess(fixture, p.pid, p.parent, p.threads);
    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {10, {11, 12, 13, 14, 16}}, {12, {13, 14, 16}}, {13, {}}};
    for (const auto& [root, expected] : cases) EXPECT_EQ(Descendants(root), expected) << root;
}

namespace {

// What a real family costs (MB): its parent alone, once it has touched `touched` bytes and before
// it forks, then with three idle children and (threads > 1) idle threads and one more that forks
// a child of its own, then once a child has ended. Checks the members on the way.
struct FamilyCosts {
    double parentAlone{}, family{}, afterEnd{};
};

void ReadFamilyCosts(size_t touched, int threads, FamilyCosts& out) {
    ChildProcess parent([touched, threads] {
        std::memset(std::malloc(touched), 0x5A, touched);
        ChildProcess::Pause();
        for (int i = 0; i < 3; ++i) ForkIdleChild();
        for (int i = 2; i < threads; ++i) std::thread([] { for (;;) pause(); }).detach();
        std::atomic<bool> forked{threads == 1};
        if (threads > 1) std::thread([&forked] { ForkIdleChild(), forked = true; for (;;) pause(); }).detach();
        while (!forked) usleep(1000);
        ChildProcess::Pause();
        for (;;) pause();
    });
    ProcessFamily family;
    FamilyReading reading;
    const auto megabytes = [&reading] { return double(reading.footprintBytes) / 1048576.0; };
    ASSERT_TRUE(parent.WaitUntil());
    ASSERT_TRUE(family.Follow(parent.Pid(), ProcessStartTime(parent.Pid())));
    ASSERT_TRUE(family.Read(reading));
    out.parentAlone = megabytes();
    parent.Resume();
    ASSERT_TRUE(parent.WaitUntil());
    ASSERT_TRUE(family.Read(reading));
    out.family = megabytes();
    const int expectedMembers = threads > 1 ? 5 : 4;
    EXPECT_EQ(reading.members, expectedMembers);
    EXPECT_EQ(reading.task.threadCount, threads + expectedMembers - 1);
    const std::vector<FamilyMember> members = family.Members();
    ASSERT_EQ(members.size(), size_t(expectedMembers));
    EXPECT_EQ(members[0].pid, parent.Pid());
    for (size_t i = 1; i < members.size(); ++i) EXPECT_EQ(members[i].parentPid, parent.Pid());
    // A child ends (a zombie, as its parent is stopped): the family reads without it.
    kill(members.back().pid, SIGKILL);
    while (!IsZombie(members.back().pid)) usleep(1000);
    ASSERT_TRUE(family.Read(reading));
    EXPECT_EQ(reading.members, expectedMembers - 1);
    out.afterEnd = megabytes();
}

}  // namespace

// Real processes: pages a parent touched before it forked count once over the family, however
// many children share them, also once a child has ended and the others' shares cover its part;
// a child started by a thread other than the main one is found, with a few threads or many. What
// the children and threads cost besides (a few MB under a sanitizer's run-time) is read from a
// family that touched nothing.
TEST(ProcessFamily, SharedPagesCountOnceAndEveryThreadsChildrenBelong) {
    for (int threads : {1, 40}) {
        SCOPED_TRACE(threads);
        FamilyCosts shared, bare;
        ReadFamilyCosts(200u << 20, threads, shared);
        ReadFamilyCosts(0, threads, bare);
        if (HasFatalFailure()) return;
        EXPECT_GE(shared.parentAlone - bare.parentAlone, 198.0);
        EXPECT_NEAR(shared.family - shared.parentAlone, bare.family - bare.parentAlone, 4.0)
            << "each member's proportional share";
        EXPECT_NEAR(shared.afterEnd - shared.parentAlone, bare.afterEnd - bare.parentAlone, 4.0);
    }
}
