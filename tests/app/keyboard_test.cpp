// The window by keyboard: Escape in the custom profile sheet (the picker's test has its own) and
// the refresh slider's keys and wheel. Keys go to the control that has the focus, as a person's do.
#include <QApplication>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "app/custom_profile_dialog.h"
#include "app/profiles.h"
#include "app_fixture.h"
#include "toolkit/gadget.h"

namespace {

using KeyboardTest = AppTest;

void PressEscapeIn(int64_t window) {
    QWidget* target = WindowID(window)->focusWidget();
    QTest::keyClick(target ? target : WindowID(window), Qt::Key_Escape);
}

TEST_F(KeyboardTest, EscapeCancelsTheCustomSheet) {
    RunLoop({
        [] {
            SetGadgetState(GadgetProfileList, ProfileCustom);
            QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetProfileList, EventTypeChange);
            QueueToolkitEvent(EventCodeGadget, MainWindow, GadgetEditProfile, EventTypeLeftClick);
        },
        [] {
            auto* field = GadgetID(GadgetCustomGrowth)->findChild<QLineEdit*>();
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, "120");
        },
        [&] { EXPECT_EQ(state.settings.growthLimitMB, 120.0f); PressEscapeIn(CustomProfileWindow); },
        [&] {
            EXPECT_FALSE(IsWindow(CustomProfileWindow));
            EXPECT_EQ(state.settings.growthLimitMB, 250.0f) << "the Custom profile's own value, as Cancel leaves it";
        },
    });
}

TEST_F(KeyboardTest, TheSliderMovesByHalfSecondsForKeysAndTheWheelAndByOneSecondForPages) {
    auto* slider = qobject_cast<QSlider*>(GadgetID(GadgetRefreshSlider));
    const auto wheel = [slider](int notches) {
        QWheelEvent event(QPointF(10, 10), slider->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &event);
    };
    const struct { std::function<void()> move; int64_t want; } table[] = {
        {[slider] { QTest::keyClick(slider, Qt::Key_Right); }, 1500},
        {[slider] { QTest::keyClick(slider, Qt::Key_PageUp); }, 2500},
        {[wheel] { wheel(1); }, 3000},
        {[wheel] { wheel(-2); }, 2000},
        {[slider] { QTest::keyClick(slider, Qt::Key_Left); }, 1500},
        {[slider] { QTest::keyClick(slider, Qt::Key_PageDown); }, 500},
    };
    std::vector<std::function<void()>> steps;
    for (const auto& row : table) {
        steps.push_back(row.move);
        steps.push_back([&, row] {
            EXPECT_EQ(state.settings.refreshIntervalMs, row.want);
            EXPECT_EQ(GetGadgetState(GadgetRefreshSlider), row.want);
            EXPECT_EQ(TextToUtf8(GetGadgetText(GadgetRefreshLabel)), std::to_string(row.want) + " ms");
        });
    }
    RunLoop(steps);
}

}  // namespace
