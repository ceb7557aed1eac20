#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

#include <tuple>

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
void ChooseProfile(int64_t item) {
    SetGadgetState(GadgetProfileList, item);
    UserEvent(MainWindow, GadgetProfileList, EventTypeChange);
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
QList<QWidget*> DialogPopovers() {
    return WindowID(CustomProfileWindow)->findChildren<QWidget*>(QStringLiteral("Xo_popover"));
}

// The main window's loop as a person drives it, step by step: what each control, menu item and
// dialog does, and what is lost while the custom profile dialog is open.
TEST_F(EventLoopTest, OneRoundThroughEveryControlMenuAndDialog) {
    std::vector<std::function<void()>> steps = {
        // Quit from the menu (also the desktop's request), the close button and Ctrl+Q all ask; No keeps the window.
        [&] { answers.push_back(RequesterNo); PostEvent(EventCodeMenu, -1, MenuItemQuit); },
        [&] { EXPECT_TRUE(IsWindow(MainWindow)); answers.push_back(RequesterNo); WindowID(MainWindow)->close(); },
        [&] { EXPECT_TRUE(WindowID(MainWindow)->isVisible()); answers.push_back(RequesterNo);
              QApplication::setActiveWindow(WindowID(MainWindow));  // a shortcut reaches the active window only
              QTest::keyClick(WindowID(MainWindow), Qt::Key_Q, Qt::ControlModifier); },
        [&] {
            EXPECT_TRUE(WindowID(MainWindow)->isVisible());
            ASSERT_EQ(asked.size(), 3u);
            for (const RequesterCall& call : asked)
                EXPECT_EQ(TextToUtf8(call.title + u"|" + call.message), "Confirmation|Are you sure you want to quit Quolk?\n");
            EXPECT_EQ(asked[0].flags, RequesterYesNo);
            asked.clear();
        },
    };
    // Each profile sets the settings, the slider and its label, the edit button and the tooltip.
    struct Want { int64_t item, intervalMs, streak; float growthMB; bool editShown; };
    static const Want profiles[] = {{1, 2000, 5, 50, false}, {3, 1000, 3, 250, true}, {0, 1000, 3, 200, false}};
    for (const Want& want : profiles) {
        steps.push_back([&want] { ChooseProfile(want.item); });
        steps.push_back([&, want] {
            EXPECT_EQ(std::tuple(state.settings.refreshIntervalMs, state.settings.streakThreshold, state.settings.growthLimitMB),
                      std::tuple(want.intervalMs, want.streak, want.growthMB)) << want.item;
            EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), want.intervalMs) << want.item;
            EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)), std::to_string(want.intervalMs) + " ms");
            EXPECT_EQ(!GadgetID(GadgetEditProfile)->isHidden(), want.editShown) << want.item;
            EXPECT_EQ(ToolTip(GadgetProfileList), Tip(int(want.growthMB), int(want.streak), int(want.intervalMs)));
        });
    }
    // A click on the list that changes no selection is no profile change.
    steps.push_back([] { SetGadgetState(GadgetProfileList, 1); UserEvent(MainWindow, GadgetProfileList); });
    steps.push_back([&] { EXPECT_EQ(state.settings.refreshIntervalMs, 1000); });

    // About, and its "See My Other Apps" with no page configured; Buy Me with no donation page.
    steps.push_back([&] { answers.push_back(2); PostEvent(EventCodeMenu, MainWindow, MenuItemAbout); });
    steps.push_back([&] {
        EXPECT_EQ(GetActiveWindow(), MainWindow);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].kind, RequesterCall::Alert);
        EXPECT_EQ(TextToUtf8(asked[0].title), QuolkNameAndVersion);
        EXPECT_EQ(asked[0].buttons, (std::vector<Text>{u"Ok", u"See My Other Apps"}));
        EXPECT_EQ(TextToUtf8(asked[0].message).rfind("An app memory diagnostic for Linux\nmade with great angst\n\rRunning on ", 0), 0u);
        asked.clear();
        answers.push_back(RequesterYes);
        UserEvent(MainWindow, GadgetBuyMe);
    });
    steps.push_back([&] {
        ASSERT_GE(asked.size(), 1u);
        EXPECT_EQ(TextToUtf8(asked[0].title), "Buy me a Coffee!");
        EXPECT_EQ(asked[0].message, LookupText(TextId::DonationPlea) + u"\n");
        EXPECT_EQ(asked[0].flags, RequesterYesNo);
        EXPECT_TRUE(opened.empty()) << "an empty address opens nothing";
        asked.clear();
    });

    // The CSV option follows its check box; the target and profile controls are disabled while a session runs.
    steps.push_back([&] {
        state.session.active = true;
        SetGadgetState(GadgetCsvOutput, CheckBoxChecked);
        UserEvent(MainWindow, GadgetCsvOutput);
    });
    steps.push_back([&] {
        EXPECT_TRUE(state.settings.csvOutputEnabled);
        for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile})
            EXPECT_FALSE(GadgetID(gadget)->isEnabled()) << gadget;
        state.session.active = false;
        UserEvent(MainWindow, GadgetCsvOutput);
    });
    steps.push_back([&] {
        for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile})
            EXPECT_TRUE(GadgetID(gadget)->isEnabled()) << gadget;
    });

    // The custom dialog starts from the custom profile and applies each typed value at once; Return
    // saves them. Meanwhile quit, About and a main-window click are lost.
    std::vector<int64_t> shownValues;
    steps.push_back([] { ChooseProfile(ProfileCustom); });
    steps.push_back([] { UserEvent(MainWindow, GadgetEditProfile); });
    steps.push_back([&] {
        ASSERT_TRUE(IsWindow(CustomProfileWindow));
        for (int64_t spin : {GadgetCustomGrowth, GadgetCustomStreak, GadgetCustomInterval})
            shownValues.push_back(GetGadgetState(spin));
        TypeInto(GadgetCustomGrowth, "120");
    });
    steps.push_back([&] { EXPECT_EQ(state.settings.growthLimitMB, 120.0f); TypeInto(GadgetCustomInterval, "2500"); });
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
        EXPECT_EQ(std::tuple(state.settings.growthLimitMB, state.settings.streakThreshold, state.settings.refreshIntervalMs),
                  std::tuple(120.0f, int64_t{7}, int64_t{2500}));
        EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), 2500);
        EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)), "2500 ms");
        EXPECT_EQ(ToolTip(GadgetProfileList), Tip(120, 7, 2500));
        UserEvent(MainWindow, GadgetEditProfile);
    });
    // Its help buttons toggle popovers of their own beside them; Escape, as Cancel, restores the values
    // it started with.
    steps.push_back([] { UserEvent(CustomProfileWindow, GadgetCustomGrowthHelp); });
    steps.push_back([&] {
        ASSERT_EQ(DialogPopovers().size(), 1);
        EXPECT_TRUE(DialogPopovers()[0]->isVisible());
        UserEvent(CustomProfileWindow, GadgetCustomStreakHelp);
    });
    steps.push_back([&] { EXPECT_EQ(DialogPopovers().size(), 2); UserEvent(CustomProfileWindow, GadgetCustomGrowthHelp); });
    steps.push_back([&] {
        int visible = 0;
        for (QWidget* p : DialogPopovers()) visible += p->isVisible() ? 1 : 0;
        EXPECT_EQ(visible, 1);
        TypeInto(GadgetCustomGrowth, "99");
    });
    steps.push_back([&] { TypeInto(GadgetCustomInterval, "3000"); });
    steps.push_back([&] {
        EXPECT_EQ(state.settings.refreshIntervalMs, 3000);
        QTest::keyClick(SpinField(GadgetCustomInterval), Qt::Key_Escape);  // as Cancel
    });
    steps.push_back([&] {
        EXPECT_FALSE(IsWindow(CustomProfileWindow));
        EXPECT_EQ(std::tuple(state.settings.growthLimitMB, state.settings.refreshIntervalMs), std::tuple(120.0f, int64_t{2500}));
        EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), 2500);
        EXPECT_EQ(ToolTip(GadgetProfileList), Tip(120, 7, 2500));
    });

    EXPECT_EQ(RunLoop(steps), 0);  // then quit, answered Yes
    ASSERT_EQ(asked.size(), 1u);
    // The quit sequence ran: the idle session's labels are reset.
    EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetStatusLine)), "Status: \U0001F534 Monitoring stopped");
}

}  // namespace
