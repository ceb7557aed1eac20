// Window lifecycle on real offscreen windows: children, closing, disabling, sheets and the key window.
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include "toolkit/gadget.h"
#include "toolkit/timer.h"
#include "toolkit_fixture.h"

namespace {

using WindowTest = ToolkitTest;

// Keys through the platform window, so that they reach whatever widget has the focus there.
void TypeInto(QWindow* window, const char* text) {
    for (const char* c = text; *c; ++c) QTest::keyClick(window, *c);
}

bool WaitActive(int64_t number) {
    return QTest::qWaitFor([number] { return QApplication::activeWindow() == WindowID(number); }, 3000);
}

TEST_F(WindowTest, ChildWindowMovesWithItsParentAndClosesWithIt) {
    OpenWindow(0, 50, 50, 300, 200, u"Main", WindowSystemMenu);
    OpenWindow(2, 0, 0, 100, 80, u"Child", WindowWindowCentered, 0);
    QWidget* child = WindowID(2);
    EXPECT_EQ(child->parentWidget(), WindowID(0));
    const QPoint before = child->pos();
    WindowID(0)->move(WindowID(0)->pos() + QPoint(30, 20));
    EXPECT_EQ(child->pos(), before + QPoint(30, 20)) << "it moves with its parent";
    // Closing the parent closes the attached child with its gadgets, timers and queued events, not
    // only its platform window.
    UseGadgetList(2);
    ButtonGadget(5, 0, 0, 50, 25, u"Close");
    AddWindowTimer(2, 47, 5);
    QueueToolkitEvent(EventCodeGadget, 2, 5, 0);
    CloseWindow(0);
    EXPECT_FALSE(IsWindow(2));
    EXPECT_FALSE(IsGadget(5));
    QTest::qWait(30);
    for (const ToolkitEvent& e : TakeAll()) EXPECT_NE(e.window, 2) << e.code;
}

TEST_F(WindowTest, DisabledWindowSwallowsInputAndRestoresItsFlagsExactly) {
    OpenWindow(0, 0, 0, 200, 100, u"", 0x64);
    ButtonGadget(5, 10, 10, 80, 25, u"Press");
    StringGadget(1, 10, 50, 120, 24, u"");
    SetActiveGadget(1);
    QWindow* handle = WindowID(0)->windowHandle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(handle));
    const Qt::WindowFlags plain = WindowID(0)->windowFlags();
    const QPoint onButton = GadgetID(5)->mapTo(WindowID(0), QPoint(40, 12));
    Settle();
    DisableWindow(0, 1);
    EXPECT_FALSE(WindowID(0)->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(WindowID(0)->isVisible()) << "changing the buttons does not hide the window";
    QTest::mouseClick(handle, Qt::LeftButton, {}, onButton);
    TypeInto(handle, "abc");
    WindowID(0)->close();
    EXPECT_EQ(GetGadgetText(1), u"") << "typing does not reach the field";
    EXPECT_TRUE(TakeAll().empty());
    DisableWindow(0, 0);
    EXPECT_EQ(handle->flags(), plain);
    QTest::mouseClick(handle, Qt::LeftButton, {}, onButton);
    // The click reaches the button, which takes the focus from the field.
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeLostFocus}, {5, EventTypeLeftClick}}));
}

TEST_F(WindowTest, SheetIsWindowModalAndCentredOnItsParent) {
    OpenWindow(0, 40, 40, 400, 300, u"Main", 0x64);
    ASSERT_TRUE(WaitActive(0));
    OpenWindow(1, 0, 0, 200, 120, u"", WindowInvisible);
    BeginSheet(1, 0);
    QWidget* sheet = WindowID(1);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_NEAR(sheet->geometry().center().x(), WindowID(0)->geometry().center().x(), 2);
    EXPECT_NEAR(sheet->geometry().center().y(), WindowID(0)->geometry().center().y(), 2);
    EXPECT_TRUE(WaitActive(1));
    EndSheet(1);
    EXPECT_FALSE(sheet->isVisible());
    CloseWindow(1);
    EXPECT_EQ(GetActiveWindow(), 0) << "the key window before it is key again";
}

}  // namespace
