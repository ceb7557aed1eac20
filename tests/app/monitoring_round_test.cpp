// The whole round as a user makes it: a child that allocates in steps is picked in the picker by
// its PID, watched with the CSV log on at 500 ms, paused and resumed by the user and by sleep and
// wake, stopped; the report window, the log and the copied report are checked.
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <tuple>

#include "analysis/phase_analysis.h"
#include "app/app_fixture.h"
#include "app/loop_script.h"
#include "app/monitoring.h"
#include "app/process_picker.h"
#include "app/report_window.h"
#include "platform/proc_fixture.h"
#include "platform/process_info.h"
#include "scratch_dir.h"
#include "toolkit/gadget.h"
#include "toolkit/window.h"
#include "quolk_version.h"

namespace {

char* volatile kept;

// 8 MB more every 400 ms, twelve times, then still.
void AllocateInSteps() {
    for (int step = 0; step < 12; ++step) {
        char* block = static_cast<char*>(std::malloc(8 << 20));
        std::memset(block, step + 1, 8 << 20);
        kept = block;
        usleep(400000);
    }
    for (;;) pause();
}

std::string U8(const Text& text) { return TextToUtf8(text); }

class MonitoringRoundTest : public AppTest {
protected:
    // Runs the main loop through the steps; a round that stalls is ended after a minute and fails.
    void Drive(std::vector<LoopScript::Step> steps) {
        LoopScript script(std::move(steps), [this] {
            if (IsWindow(ReportWindow)) PostEvent(EventCodeCloseWindow, ReportWindow, ReportWindow);
            answers.push_back(RequesterYes);
            PostEvent(EventCodeMenu, -1, MenuItemQuit);
        }, 60000);
        RunMainLoop(state);
    }

    // Browse, all processes, the PID typed into the search field, its row selected.
    std::vector<std::function<bool()>> PickSteps(int32_t pid) {
        return {
            [] { return PostEvent(EventCodeGadget, MainWindow, GadgetBrowse), true; },
            [] {
                if (!IsWindow(PickerWindow) || !WindowID(PickerWindow)->isVisible()) return false;
                QTest::mouseClick(GadgetID(PickerUserAppsOnly), Qt::LeftButton, {}, QPoint(5, 10));
                return true;
            },
            [pid] { return QTest::keyClicks(GadgetID(PickerSearch), QString::number(pid)), true; },
            [pid] {
                for (int64_t row = 0; row < CountGadgetItems(PickerList); ++row) {
                    if (GetGadgetItemText(PickerList, row, 0) != Str(pid)) continue;
                    SetGadgetState(PickerList, row);
                    PostEvent(EventCodeGadget, PickerWindow, PickerSelect);
                    return true;
                }
                return false;
            },
            [pid] {
                if (IsWindow(PickerWindow)) return false;
                EXPECT_TRUE(U8(GetGadgetText(GadgetTargetName)).ends_with("(PID: " + std::to_string(pid) + ")"));
                EXPECT_EQ(U8(GetGadgetText(GadgetStatusLine)), "Status: ✓ Selected PID " + std::to_string(pid));
                SetGadgetState(GadgetRefreshSlider, 620);  // snaps to 500
                PostEvent(EventCodeGadget, MainWindow, GadgetRefreshSlider);
                SetGadgetState(GadgetCsvOutput, CheckBoxChecked);
                PostEvent(EventCodeGadget, MainWindow, GadgetCsvOutput);
                PostEvent(EventCodeGadget, MainWindow, GadgetStart);
                return true;
            },
        };
    }

    ScratchDir home;
    EnvScope homeVariable{"HOME", home.path};
};

}  // namespace

TEST_F(MonitoringRoundTest, PickWatchStopReadCopyAndAnalyzeTheLog) {
    ChildProcess child(AllocateInSteps);
    std::string copied;
    std::vector<std::function<bool()>> steps = PickSteps(child.Pid());
    const auto gadget = [](int64_t number) { PostEvent(EventCodeGadget, MainWindow, number); };
    const auto status = [] { return U8(GetGadgetText(GadgetStatusLine)); };
    steps.push_back([&] {
        if (state.history.count < 9) return false;
        const std::string badge = U8(GetGadgetText(GadgetFootprint));
        EXPECT_EQ(U8(GetWindowTitle(MainWindow)), std::string(QuolkNameAndVersion) + " — " + badge);
        EXPECT_EQ(status(), "Status: 🟢 Monitoring active");
        EXPECT_EQ(std::tuple(state.settings.refreshIntervalMs, U8(GetGadgetText(GadgetRefreshLabel))),
                  std::tuple(int64_t{500}, std::string("500 ms")));
        EXPECT_FALSE(GadgetID(GadgetStart)->isEnabled());
        EXPECT_EQ(WindowID(MainWindow)->focusWidget(), GadgetID(GadgetStop)) << "Return goes on to Stop";
        // The picture of the main window in the README is this moment of this round, while the
        // child still grows.
        if (const char* path = getenv("QUOLK_SCREENSHOT")) WindowID(MainWindow)->grab().save(QString::fromUtf8(path));
        return gadget(GadgetPause), true;
    });
    // After the user's pause a wake resumes the session and a sleep pauses it again; the user resumes.
    const struct { int32_t then; bool paused; const char* status; } turns[] = {
        {EventSystemDidWake, true, "Status: ⏸ Paused"},
        {EventSystemWillSleep, false, "Status: 🟢 Monitoring active"},
        {EventCodeGadget, true, "Status: ⏸ Paused"}};
    for (const auto& turn : turns)
        steps.push_back([&] {
            EXPECT_EQ(std::tuple(state.session.paused, U8(GetGadgetText(GadgetPause)).starts_with("▶"), status()),
                      std::tuple(turn.paused, turn.paused, std::string(turn.status)));
            return PostEvent(turn.then, MainWindow, turn.then == EventCodeGadget ? int64_t{GadgetPause} : 0), true;
        });
    steps.push_back([&] {
        if (state.history.count < 20) return false;
        PostEvent(EventCodeGadget, MainWindow, GadgetStop);
        return true;
    });
    steps.push_back([&] {
        if (!IsWindow(ReportWindow) || !WindowID(ReportWindow)->isVisible()) return false;
        answers.push_back(RequesterYes);  // the "Success!" message
        PostEvent(EventCodeGadget, ReportWindow, ReportCopy);
        return true;
    });
    steps.push_back([&] {
        copied = QGuiApplication::clipboard()->text().toStdString();
        return PostEvent(EventCodeGadget, ReportWindow, ReportClose), true;
    });
    steps.push_back([this] {  // once the report window is closed: quit, and confirm
        if (IsWindow(ReportWindow)) return false;
        answers.push_back(RequesterYes);
        return PostEvent(EventCodeMenu, -1, MenuItemQuit), true;
    });
    Drive(steps);

    EXPECT_EQ(U8(GetGadgetText(GadgetStatusLine)), "Status: 🔴 Monitoring stopped");
    EXPECT_EQ(U8(GetWindowTitle(MainWindow)), QuolkNameAndVersion);
    EXPECT_TRUE(GadgetID(GadgetStart)->isEnabled() && GadgetID(GadgetAnalyze)->isEnabled());
    EXPECT_EQ(WindowID(MainWindow)->focusWidget(), GadgetID(GadgetStart)) << "Return starts the next round";
    EXPECT_EQ(Text(TextFromUtf8(copied)), RunPhaseAnalysis(state.history));  // the exact report text
    ASSERT_GE(asked.size(), 1u);
    EXPECT_EQ(U8(asked.front().title), "Success!");

    // The log, in the home folder: its two header lines and one row per tick (its bytes are the
    // session's tests' matter).
    const std::string path = U8(state.monitor.log.path);
    EXPECT_EQ(path.rfind(home.path + "/", 0), 0u) << path;
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2 + state.history.count);
}
