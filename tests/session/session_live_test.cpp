// The session against real processes, through the system's own process information.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "analysis/leak_test.h"
#include "monitor/family_provider.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "session/session.h"
#include "session/session_view.h"
#include "strings/stringtable.h"

namespace {
char* volatile kept;

// A process's own footprint in MB, as the session reads it without --include-children.
double ReadOwnFootprintMB(int32_t pid) {
    const int dirFd = OpenProcessDir(pid);
    const int64_t bytes = dirFd >= 0 ? ReadPhysicalFootprintAt(dirFd) : 0;
    CloseProcessDir(dirFd);
    return double(std::max<int64_t>(bytes, 0)) / 1048576.0;
}

}  // namespace

// Start, a tick after the child's second step of 64 MB and one after its end: the footprint grows
// by the step, and the end (the zombie it leaves until reaped is no target either) stops the session.
TEST(SessionLive, FollowsAChildThatGrowsAndEndsWhenItIsGone) {
    LoadStringTable(u"en");
    ChildProcess child([] {
        for (int step = 0; step < 2; ++step) {
            char* block = static_cast<char*>(std::malloc(64 << 20));
            std::memset(block, 1, 64 << 20);
            kept = block;  // so that the writes cannot be left out
            ChildProcess::Pause();
        }
    });
    ASSERT_TRUE(child.WaitUntil());
    SessionContext context;
    SetMonitorTarget(context, {child.Pid(), u"child", u"", ProcessStartTime(child.Pid())});
    EXPECT_TRUE(context.session.held.held && context.session.held.hold.pidFd >= 0) << "held from the choice";
    const TickRecord start = StartSession(context, false);
    ASSERT_TRUE(start.ticked);
    child.Resume();
    ASSERT_TRUE(child.WaitUntil());
    const TickRecord grown = TickSession(context);
    ASSERT_TRUE(grown.ticked);
    EXPECT_GE(grown.figures.footprintMB - start.figures.footprintMB, 60.0f);
    EXPECT_GE(grown.figures.deltaMB, 60.0f);
    child.Resume();
    ASSERT_TRUE(child.WaitUntil(WEXITED | WNOWAIT));
    const TickRecord end = TickSession(context);
    EXPECT_TRUE(end.targetEnded && end.stopped);
    EXPECT_EQ(TextToUtf8(SessionViewOf(context, end).status.value_or(u"")), "Status: ❌ Process terminated");
    EXPECT_EQ(context.history.count, 2);
}

// A server that forks an idle worker every 3 s for 18 s of a 30 s session (its clock moves a
// second a tick): with --include-children the memory the workers share with it counts once, so
// the family reads as the server alone (and each worker's page tables) and the leak test finds no
// leak, where the sum of each member's own footprint would read 1,400 MB.
TEST(SessionLive, IdleWorkersForkedOneByOneAreNoLeak) {
    LoadStringTable(u"en");
    constexpr size_t kTouched = 200u << 20;
    int command[2];
    ASSERT_EQ(pipe(command), 0);
    ChildProcess server([&command] {
        char* block = static_cast<char*>(std::malloc(kTouched));
        std::memset(block, 0x5A, kTouched);
        kept = block;
        ChildProcess::Pause();
        for (char byte; read(command[0], &byte, 1) == 1;) ForkIdleChild(), ChildProcess::Pause();
    });
    ASSERT_TRUE(server.WaitUntil());
    // The server alone with its block touched: read rather than assumed, since a sanitizer's
    // allocator and shadow memory add their own share to it.
    const double serverMB = ReadOwnFootprintMB(server.Pid());
    ASSERT_GE(serverMB, 190.0);
    server.Resume();
    FamilyProcessProvider family;
    SessionContext context;
    context.services.processes = &family;
    static DateValue now = 1'000'000;
    context.services.clock = [] { return now++; };
    SetMonitorTarget(context, {server.Pid(), u"server", u"", ProcessStartTime(server.Pid())});
    ASSERT_TRUE(StartSession(context, false).ticked);
    for (int tick = 1; tick <= 30; ++tick) {
        if (tick % 3 == 0 && tick <= 18) {
            ASSERT_EQ(write(command[1], "f", 1), 1);
            ASSERT_TRUE(server.WaitUntil());
            server.Resume();
        }
        ASSERT_TRUE(TickSession(context).ticked);
    }
    close(command[1]);
    EXPECT_EQ(family.Members().size(), 7u);
    // Each worker adds its own page tables and the few pages it writes (more under a sanitizer),
    // never again the 200 MB it shares with the server.
    const double last = context.history.slots[context.history.count - 1].footprintMB;
    EXPECT_TRUE(last > serverMB - 4.0 && last < serverMB + 6 * 2.5) << last << " MB; the server alone " << serverMB;
    EXPECT_NE(RunLeakTest(LeakSeries(context.history)).outcome, LeakOutcome::Leak);
}
