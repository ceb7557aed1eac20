#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include "app/custom_profile_dialog.h"
#include "app/monitoring.h"
#include "app/profiles.h"
#include "app_fixture.h"
#include "toolkit/gadget.h"
#include "quolk_version.h"

namespace {

using EventLoopTest = AppTest;

// What a person's click or choice queues.
void UserEvent(int64_t window, int64_t gadget, int64_t type = EventTypeLeftClick) {
    ASSERT_TRUE(QueueToolkitEvent(EventCodeGadget, window, gadget, type));
}
std::string ToolTip(int64_t gadget) { return GadgetID(gadget)->toolTip().toStdString(); }
std::string Tip(int growth, int streak, int interval) {
    return "Memory Growth (MB): " + std::to_string(growth) + "\nNumber of Leak Streaks: " + std::to_string(streak) +
           "\nRefresh Interval (ms): " + std::to_string(interval);
}
QLineEdit* SpinField(int64_t gadget) { return GadgetID(gadget)->findChild<QLineEdit*>(); }
void TypeInto(int64_t gadget, const char* text) {
    QLineEdit* field = SpinField(gadget);
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClicks(field, text);
}

// The main window's loop as a person drives it, step by step: what each control, menu item and
// dialog does, and what is lost while the custom profile dialog is open.
TEST_F(EventLoopTest, OneRoundThroughEveryControlMenuAndDialog) {
    QWidget* main = WindowID(MainWindow);
    std::vector<std::function<void()>> steps = {
        // Quit from the menu (also the desktop's request) and the close button ask; No keeps the window.
        [&] { answers.push_back(RequesterNo); PostEvent(EventCodeMenu, -1, MenuItemQuit); },
        [&] { answers.push_back(RequesterNo); main->close(); },
        [&] {
            EXPECT_TRUE(main->isVisible());
            EXPECT_TRUE(GadgetID(GadgetEditProfile)->isHidden()) << "the default profile has nothing to edit";
            ASSERT_EQ(asked.size(), 2u);
            for (const RequesterCall& call : asked)
                EXPECT_EQ(TextToUtf8(call.message), "Are you sure you want to quit Quolk?\n");
            asked.clear();
        },
    };
    // A profile sets the settings, the slider and its label and the tooltip; the custom one shows
    // the edit button.
    steps.push_back([] {
        SetGadgetState(GadgetProfileList, ProfileCustom);
        UserEvent(MainWindow, GadgetProfileList, EventTypeChange);
    });
    steps.push_back([] {
        EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)), "1000 ms");
        EXPECT_FALSE(GadgetID(GadgetEditProfile)->isHidden());
        EXPECT_EQ(ToolTip(GadgetProfileList), Tip(250, 3, 1000));
    });
    // About's "See My Other Apps" with no page configured opens nothing.
    steps.push_back([&] { answers.push_back(2); PostEvent(EventCodeMenu, MainWindow, MenuItemAbout); });
    steps.push_back([&] {
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(TextToUtf8(asked[0].title), QuolkNameAndVersion);
        EXPECT_TRUE(opened.empty()) << "an empty address opens nothing";
        asked.clear();
    });

    // The CSV option follows its check box; the target and profile controls are disabled while a session runs.
    for (const bool active : {true, false}) {
        steps.push_back([&, active] {
            state.session.active = active;
            SetGadgetState(GadgetCsvOutput, active ? CheckBoxChecked : 0);
            UserEvent(MainWindow, GadgetCsvOutput);
        });
        steps.push_back([&, active] {
            EXPECT_EQ(state.settings.csvOutputEnabled, active);
            for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile})
                EXPECT_EQ(GadgetID(gadget)->isEnabled(), !active) << gadget;
        });
    }

    // The custom dialog starts from the custom profile's values and applies each typed value at once; Return
    // saves them. Meanwhile quit, About and a main-window click are lost.
    std::vector<int64_t> shownValues;
    steps.push_back([] { UserEvent(MainWindow, GadgetEditProfile); });
    steps.push_back([&] {
        ASSERT_TRUE(IsWindow(CustomProfileWindow));
        for (int64_t spin : {GadgetCustomGrowth, GadgetCustomStreak, GadgetCustomInterval})
            shownValues.push_back(GetGadgetState(spin));
        TypeInto(GadgetCustomGrowth, "120");
        TypeInto(GadgetCustomInterval, "2500");
    });
    steps.push_back([&] {
        PostEvent(EventCodeMenu, -1, MenuItemQuit);
        PostEvent(EventCodeMenu, MainWindow, MenuItemAbout);
        UserEvent(MainWindow, GadgetBuyMe);
    });
    steps.push_back([&] { TypeInto(GadgetCustomStreak, "7"); });
    steps.push_back([&] { QTest::keyClick(SpinField(GadgetCustomStreak), Qt::Key_Return); });
    steps.push_back([&] {
        EXPECT_FALSE(IsWindow(CustomProfileWindow));
        EXPECT_TRUE(asked.empty()) << "nothing asked while the dialog was open";
        EXPECT_EQ(shownValues, (std::vector<int64_t>{250, 3, 1000}));
        EXPECT_EQ(ToolTip(GadgetProfileList), Tip(120, 7, 2500));
        UserEvent(MainWindow, GadgetEditProfile);
    });
    // Escape, as Cancel, restores the values the dialog started with.
    steps.push_back([&] { TypeInto(GadgetCustomInterval, "3000"); });
    steps.push_back([&] {
        EXPECT_EQ(state.settings.refreshIntervalMs, 3000);
        QTest::keyClick(SpinField(GadgetCustomInterval), Qt::Key_Escape);
    });
    steps.push_back([&] {
        EXPECT_FALSE(IsWindow(CustomProfileWindow));
        EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), 2500);
        EXPECT_EQ(ToolTip(GadgetProfileList), Tip(120, 7, 2500));
    });

    EXPECT_EQ(RunLoop(steps), 0);  // then quit, answered Yes
    ASSERT_EQ(asked.size(), 1u);
    // The quit sequence ran: the idle session's labels are reset.
    EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetStatusLine)), "Status: \U0001F534 Monitoring stopped");
}

}  // namespace
