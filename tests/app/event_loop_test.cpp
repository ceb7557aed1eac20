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
#include "toolkit/popover.h"
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

TEST_F(EventLoopTest, QuitAsksFirstAndNoKeepsTheWindowWhileYesEndsTheLoopWithStatusZero) {
    // Quit from the menu (also the desktop's request), the close button and Ctrl+Q all ask.
    const int status = RunLoop({
        [&] { answers.push_back(RequesterNo); PostEvent(EventCodeMenu, -1, MenuItemQuit); },
        [&] { EXPECT_TRUE(IsWindow(MainWindow)); answers.push_back(RequesterNo); WindowID(MainWindow)->close(); },
        [&] { EXPECT_TRUE(WindowID(MainWindow)->isVisible()); answers.push_back(RequesterNo);
              // A shortcut reaches the active window only.
              QApplication::setActiveWindow(WindowID(MainWindow));
              QTest::keyClick(WindowID(MainWindow), Qt::Key_Q, Qt::ControlModifier); },
        [&] { EXPECT_TRUE(WindowID(MainWindow)->isVisible()); },
    });
    EXPECT_EQ(status, 0);
    ASSERT_EQ(asked.size(), 4u);
    for (const RequesterCall& call : asked) {
        EXPECT_EQ(TextToUtf8(call.title), "Confirmation");
        EXPECT_EQ(TextToUtf8(call.message), "Are you sure you want to quit Quolk?\n");
        EXPECT_EQ(call.flags, RequesterYesNo);
    }
    // The quit sequence ran: the idle session's labels are reset.
    EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetStatusLine)), "Status: \U0001F534 Monitoring stopped");
}

TEST_F(EventLoopTest, ProfilesSetTheSettingsTheSliderTheLabelTheEditButtonAndTheToolTip) {
    struct Leak { int64_t refreshIntervalMs, streakThreshold; float growthLimitMB; };
    struct Want { int64_t item; Leak settings; bool editShown; const char* tip; };
    const Want table[] = {
        {1, {2000, 5, 50.0f}, false, "Memory Growth (MB): 50\nNumber of Leak Streaks: 5\nRefresh Interval (ms): 2000"},
        {2, {500, 2, 500.0f}, false, "Memory Growth (MB): 500\nNumber of Leak Streaks: 2\nRefresh Interval (ms): 500"},
        {3, {1000, 3, 250.0f}, true, "Memory Growth (MB): 250\nNumber of Leak Streaks: 3\nRefresh Interval (ms): 1000"},
        {0, {1000, 3, 200.0f}, false, "Memory Growth (MB): 200\nNumber of Leak Streaks: 3\nRefresh Interval (ms): 1000"},
    };
    std::vector<std::function<void()>> steps;
    for (const Want& want : table) {
        steps.push_back([&want] { ChooseProfile(want.item); });
        steps.push_back([&, want] {
            EXPECT_EQ(state.settings.refreshIntervalMs, want.settings.refreshIntervalMs) << want.item;
            EXPECT_EQ(state.settings.streakThreshold, want.settings.streakThreshold) << want.item;
            EXPECT_EQ(state.settings.growthLimitMB, want.settings.growthLimitMB) << want.item;
            EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), want.settings.refreshIntervalMs) << want.item;
            EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)),
                      std::to_string(want.settings.refreshIntervalMs) + " ms");
            EXPECT_EQ(!GadgetID(GadgetEditProfile)->isHidden(), want.editShown) << want.item;
            EXPECT_EQ(ToolTip(GadgetProfileList), want.tip);
        });
    }
    // A click on the list that changes no selection is no profile change.
    steps.push_back([] { SetGadgetState(GadgetProfileList, 1); UserEvent(MainWindow, GadgetProfileList); });
    steps.push_back([&] { EXPECT_EQ(state.settings.refreshIntervalMs, 1000); });
    EXPECT_EQ(RunLoop(steps), 0);
}

// One popover, below the button, shown and hidden by it, and freed by the quit sequence.
TEST_F(EventLoopTest, TheGlossaryButtonTogglesOnePopoverBelowItThatLivesUntilQuit) {
    HelpPopover* first = nullptr;
    std::vector<bool> shown;
    const auto look = [&] {
        EXPECT_EQ(state.glossaryPopover, first);
        shown.push_back(HelpPopoverShown(first));
        UserEvent(MainWindow, GadgetGlossary);
    };
    RunLoop({
        [] { UserEvent(MainWindow, GadgetGlossary); },
        [&] {
            first = state.glossaryPopover;
            ASSERT_NE(first, nullptr);
            const QWidget* popover = PopoverID(first->popover);
            const QWidget* button = GadgetID(GadgetGlossary);
            EXPECT_EQ(popover->size(), QSize(550, 440));
            EXPECT_GE(popover->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
            look();
        },
        look, look,
    });
    EXPECT_EQ(shown, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(state.glossaryPopover, nullptr);
}

TEST_F(EventLoopTest, AboutFromTheMenuPostsTheAboutCommandWhichShowsTheAboutBox) {
    answers.push_back(2);  // "See My Other Apps", with no page configured
    RunLoop({
        [] { PostEvent(EventCodeMenu, MainWindow, MenuItemAbout); },
        [&] { EXPECT_EQ(GetActiveWindow(), MainWindow); },
    });
    ASSERT_EQ(asked.size(), 2u);
    const RequesterCall& about = asked[0];
    EXPECT_EQ(about.kind, RequesterCall::Alert);
    EXPECT_EQ(TextToUtf8(about.title), QuolkNameAndVersion);
    EXPECT_EQ(about.buttons, (std::vector<Text>{u"Ok", u"See My Other Apps"}));
    EXPECT_EQ(TextToUtf8(about.message).rfind("An app memory diagnostic for Linux\nmade with great angst\n\rRunning on ", 0), 0u);
    EXPECT_TRUE(opened.empty()) << "an empty address opens nothing";
}

TEST_F(EventLoopTest, BuyMeAsksAndWithNoDonationPageOpensNothing) {
    answers.push_back(RequesterYes);
    RunLoop({[] { UserEvent(MainWindow, GadgetBuyMe); }});
    ASSERT_GE(asked.size(), 1u);
    EXPECT_EQ(TextToUtf8(asked[0].title), "Buy me a Coffee!");
    EXPECT_EQ(asked[0].message, LookupText(TextId::DonationPlea) + u"\n");
    EXPECT_EQ(asked[0].flags, RequesterYesNo);
    EXPECT_TRUE(opened.empty());
}

// The CSV option follows its check box; the controls of the target and profile are disabled while
// a session runs.
TEST_F(EventLoopTest, DuringASessionBrowseTheProfileListAndEditAreDisabledBeforeEachWait) {
    RunLoop({
        [&] {
            state.session.active = true;
            SetGadgetState(GadgetCsvOutput, CheckBoxChecked);
            UserEvent(MainWindow, GadgetCsvOutput);
        },
        [&] {
            EXPECT_TRUE(state.settings.csvOutputEnabled);
            for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile})
                EXPECT_FALSE(GadgetID(gadget)->isEnabled()) << gadget;
            state.session.active = false;
            UserEvent(MainWindow, GadgetCsvOutput);
        },
        [&] {
            for (int64_t gadget : {GadgetBrowse, GadgetProfileList, GadgetEditProfile})
                EXPECT_TRUE(GadgetID(gadget)->isEnabled()) << gadget;
        },
    });
}

// --- The custom profile dialog -------------------------------------------------------------------

QLineEdit* SpinField(int64_t gadget) { return GadgetID(gadget)->findChild<QLineEdit*>(); }

void TypeInto(int64_t gadget, const char* text) {
    QLineEdit* field = SpinField(gadget);
    ASSERT_NE(field, nullptr);
    field->selectAll();
    QTest::keyClicks(field, text);
}

// The dialog starts from the custom profile and applies each typed value at once; Return saves
// them. Meanwhile quit, About and a main-window click are lost.
TEST_F(EventLoopTest, CustomDialogTakesTheTypedValuesAndReturnSavesThem) {
    std::vector<int64_t> shownValues;
    RunLoop({
        [] { ChooseProfile(ProfileCustom); },
        [] { UserEvent(MainWindow, GadgetEditProfile); },
        [&] {
            ASSERT_TRUE(IsWindow(CustomProfileWindow));
            for (int64_t spin : {GadgetCustomGrowth, GadgetCustomStreak, GadgetCustomInterval})
                shownValues.push_back(GetGadgetState(spin));
            TypeInto(GadgetCustomGrowth, "120");
        },
        [&] { EXPECT_EQ(state.settings.growthLimitMB, 120.0f); TypeInto(GadgetCustomInterval, "2500"); },
        [&] {
            PostEvent(EventCodeMenu, -1, MenuItemQuit);
            PostEvent(EventCodeMenu, MainWindow, MenuItemAbout);
            UserEvent(MainWindow, GadgetBuyMe);
        },
        [&] { TypeInto(GadgetCustomStreak, "7"); },
        [&] { QTest::keyClick(SpinField(GadgetCustomStreak), Qt::Key_Return); },
        [&] {
            EXPECT_FALSE(IsWindow(CustomProfileWindow));
            EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), 2500);
            EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)), "2500 ms");
            EXPECT_EQ(ToolTip(GadgetProfileList),
                      "Memory Growth (MB): 120\nNumber of Leak Streaks: 7\nRefresh Interval (ms): 2500");
        },
    });
    EXPECT_EQ(shownValues, (std::vector<int64_t>{250, 3, 1000}));
    EXPECT_EQ(std::tuple(state.settings.growthLimitMB, state.settings.streakThreshold, state.settings.refreshIntervalMs),
              std::tuple(120.0f, int64_t{7}, int64_t{2500}));
    EXPECT_EQ(asked.size(), 1u) << "only the final quit confirmation";
}

TEST_F(EventLoopTest, CustomDialogCancelRestoresTheValuesItStartedWith) {
    RunLoop({
        [] { ChooseProfile(ProfileCustom); },
        [] { UserEvent(MainWindow, GadgetEditProfile); },
        [&] { TypeInto(GadgetCustomGrowth, "120"); },
        [&] { TypeInto(GadgetCustomInterval, "3000"); },
        [&] { EXPECT_EQ(state.settings.refreshIntervalMs, 3000); UserEvent(CustomProfileWindow, GadgetCustomCancel); },
        [&] {
            EXPECT_FALSE(IsWindow(CustomProfileWindow));
            EXPECT_EQ(state.settings.growthLimitMB, 250.0f);
            EXPECT_EQ(state.settings.refreshIntervalMs, 1000);
            EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), 1000);
            EXPECT_EQ(ToolTip(GadgetProfileList),
                      "Memory Growth (MB): 250\nNumber of Leak Streaks: 3\nRefresh Interval (ms): 1000");
        },
    });
}

TEST_F(EventLoopTest, CustomDialogHelpButtonsToggleTheirOwnPopoversNextToThem) {
    std::vector<bool> shown;
    RunLoop({
        [] { ChooseProfile(ProfileCustom); },
        [] { UserEvent(MainWindow, GadgetEditProfile); },
        [] { UserEvent(CustomProfileWindow, GadgetCustomGrowthHelp); },
        [&] {
            QWidget* window = WindowID(CustomProfileWindow);
            auto popovers = window->findChildren<QWidget*>(QStringLiteral("Xo_popover"));
            ASSERT_EQ(popovers.size(), 1);
            shown.push_back(popovers[0]->isVisible());
            EXPECT_EQ(popovers[0]->size(), QSize(320, 200));
            const QWidget* button = GadgetID(GadgetCustomGrowthHelp);
            // Beside the button, never over it.
            const QRect buttonArea(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_FALSE(popovers[0]->geometry().intersects(buttonArea));
            UserEvent(CustomProfileWindow, GadgetCustomStreakHelp);
        },
        [&] {
            auto popovers = WindowID(CustomProfileWindow)->findChildren<QWidget*>(QStringLiteral("Xo_popover"));
            EXPECT_EQ(popovers.size(), 2);
            UserEvent(CustomProfileWindow, GadgetCustomGrowthHelp);
        },
        [&] {
            auto popovers = WindowID(CustomProfileWindow)->findChildren<QWidget*>(QStringLiteral("Xo_popover"));
            int visible = 0;
            for (QWidget* p : popovers) visible += p->isVisible() ? 1 : 0;
            EXPECT_EQ(visible, 1);
            UserEvent(CustomProfileWindow, GadgetCustomCancel);
        },
    });
    EXPECT_EQ(shown, std::vector<bool>{true});
}

}  // namespace
