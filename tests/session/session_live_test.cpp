// The session against real processes, through the system's own process information.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "session/session.h"
#include "session/session_view.h"
#include "strings/stringtable.h"

namespace {
char* volatile kept;

// Whether this process's leader thread has ended, as its stat line's state tells.
bool LeaderEnded() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    return line.find(") Z ") != std::string::npos;
}
}  // namespace

TEST(SessionLive, FollowsAChildThatGrowsAndEndsWhenItIsGone) {
    LoadStringTable(u"en");
    constexpr size_t kStep = 64 << 20;
    // The child touches 64 MB, stops, touches 64 MB more, stops again.
    ChildProcess child([] {
        for (int step = 0; step < 2; ++step) {
            char* block = static_cast<char*>(std::malloc(kStep));
            std::memset(block, 1, kStep);
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
    child.Resume();  // it now ends; the zombie it leaves until reaped is no target either
    ASSERT_TRUE(child.WaitUntil(WEXITED | WNOWAIT));
    const TickRecord end = TickSession(context);
    EXPECT_TRUE(end.targetEnded && end.stopped);
    EXPECT_EQ(TextToUtf8(SessionViewOf(context, end).status.value_or(u"")), "Status: ❌ Process terminated");
    EXPECT_EQ(context.history.count, 2);
}

// The window and the recorder tick the same core: a target whose main thread has ended while
// another thread works on is followed through that thread until the process ends.
TEST(SessionLive, FollowsAProcessWhoseMainThreadEnded) {
    LoadStringTable(u"en");
    constexpr size_t kStep = 64 << 20;
    ChildProcess child([] {
        std::thread([] {
            while (!LeaderEnded()) usleep(1000);
            for (int step = 0; step < 2; ++step) {
                char* block = static_cast<char*>(std::malloc(kStep));
                std::memset(block, 1, kStep);
                kept = block;
                ChildProcess::Pause();
            }
            std::exit(0);
        }).detach();
        syscall(SYS_exit, 0);  // this thread only, without unwinding through the test's frames
    });
    ASSERT_TRUE(child.WaitUntil());
    SessionContext context;
    SetMonitorTarget(context, {child.Pid(), u"child", u"", ProcessStartTime(child.Pid())});
    const TickRecord start = StartSession(context, false);
    ASSERT_TRUE(start.ticked);
    EXPECT_GE(start.figures.footprintMB, 60.0f);
    child.Resume();
    ASSERT_TRUE(child.WaitUntil());
    const TickRecord grown = TickSession(context);
    ASSERT_TRUE(grown.ticked && !grown.targetEnded);
    EXPECT_GE(grown.figures.footprintMB - start.figures.footprintMB, 60.0f);
    child.Resume();
    ASSERT_TRUE(child.WaitUntil(WEXITED | WNOWAIT));
    EXPECT_TRUE(TickSession(context).targetEnded);
}
