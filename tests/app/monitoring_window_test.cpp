// The main window's session controls during a running session: Pause/Resume, sleep and wake, Dock
// Stats and its statistic list (seen in the title), the slider, and Stop with its report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QWidget>

#include "app/app_fixture.h"
#include "app/monitoring.h"
#include "app/report_window.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"
#include "quolk_version.h"

namespace {

std::string U8(const Text& text) { return TextToUtf8(text); }

using MonitoringWindowTest = AppTest;

}  // namespace

TEST_F(MonitoringWindowTest, SessionControlsChangeTheSessionAndWhatTheWindowShows) {
    ChildProcess child([] { for (;;) pause(); });
    const auto gadget = [](int64_t number) { PostEvent(EventCodeGadget, MainWindow, number); };
    const auto title = [] { return U8(GetWindowTitle(MainWindow)); };
    RunLoop({
        [&] {
            SetMonitorTarget(state.monitor, {child.Pid(), u"child", u"", ProcessStartTime(child.Pid())});
            gadget(GadgetStart);
        },
        [&] {
            ASSERT_TRUE(state.session.active);
            EXPECT_EQ(title(), std::string(QuolkNameAndVersion) + " — " + U8(GetGadgetText(GadgetFootprint)));
            EXPECT_FALSE(GadgetID(GadgetStart)->isEnabled());
            EXPECT_TRUE(GadgetID(GadgetStop)->isEnabled());
            gadget(GadgetPause);
        },
        [&] {
            EXPECT_TRUE(state.session.paused);
            EXPECT_EQ(U8(GetGadgetText(GadgetPause)), "▶ Resume");
            EXPECT_EQ(U8(GetGadgetText(GadgetStatusLine)), "Status: ⏸ Paused");
            PostEvent(EventSystemDidWake, MainWindow, 0);  // a wake resumes a paused session
        },
        [&] {
            EXPECT_FALSE(state.session.paused);
            EXPECT_EQ(U8(GetGadgetText(GadgetStatusLine)), "Status: 🟢 Monitoring active");
            PostEvent(EventSystemWillSleep, MainWindow, 0);
        },
        [&] {
            EXPECT_TRUE(state.session.paused);
            EXPECT_EQ(U8(GetGadgetText(GadgetPause)), "▶ Resume");
            gadget(GadgetPause);
            gadget(GadgetDockStats);
        },
        [&] {
            EXPECT_FALSE(state.session.paused);
            EXPECT_EQ(title(), QuolkNameAndVersion);  // no badge
            EXPECT_FALSE(GadgetID(GadgetDockStatList)->isEnabled());
            gadget(GadgetDockStats);
        },
        [&] {
            EXPECT_TRUE(GadgetID(GadgetDockStatList)->isEnabled());
            SetGadgetState(GadgetDockStatList, 1);
            QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetDockStatList, EventTypeChange);
        },
        [&] {
            EXPECT_EQ(title(), std::string(QuolkNameAndVersion) + " — " + U8(GetGadgetText(GadgetPeak)));
            SetGadgetState(GadgetRefreshSlider, 2600);
            gadget(GadgetRefreshSlider);
        },
        [&] {
            EXPECT_EQ(state.settings.refreshIntervalMs, 2500);
            EXPECT_EQ(U8(GetGadgetText(GadgetRefreshLabel)), "2500 ms");
            gadget(GadgetStop);
        },
        [&] {  // inside the report window's own loop
            EXPECT_TRUE(IsWindow(ReportWindow));
            PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow);
        },
        [&] {
            EXPECT_FALSE(state.session.active);
            EXPECT_EQ(U8(GetGadgetText(GadgetStatusLine)), "Status: 🔴 Monitoring stopped");
            EXPECT_EQ(title(), QuolkNameAndVersion);
            EXPECT_TRUE(GadgetID(GadgetStart)->isEnabled());
            EXPECT_TRUE(GadgetID(GadgetAnalyze)->isEnabled());
        },
    });
}
