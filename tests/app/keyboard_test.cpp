// The refresh slider by keyboard and wheel: keys go to the control that has the focus, as a
// person's do.
#include <QApplication>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

#include "app_fixture.h"
#include "toolkit/gadget.h"

namespace {

using KeyboardTest = AppTest;

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
