// Window lifecycle on real offscreen windows: numbers and handles, flags, placement, the close
// button, the key window after closing, disabling, sticky windows and sheets.
#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "runtime/objects.h"
#include "toolkit/gadget.h"
#include "toolkit/window_record.h"
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

TEST_F(WindowTest, NumbersHandlesAndReplacement) {
    const int64_t result = OpenWindow(3, 10, 10, 200, 100, u"Three");
    ASSERT_NE(result, 0);
    EXPECT_EQ(result, reinterpret_cast<intptr_t>(WindowID(3)));
    QPointer<QWidget> first = WindowID(3);
    OpenWindow(3, 10, 10, 300, 120, u"Three again");
    EXPECT_TRUE(first.isNull()) << "the old window under the number is destroyed first";
    EXPECT_EQ(WindowWidth(3), 300);
    EXPECT_EQ(GetWindowTitle(3), u"Three again");

    const int64_t handle = OpenWindow(AnyNumber, 10, 10, 150, 80, u"Handle");
    ASSERT_NE(handle, 0);
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(WindowWidth(handle), 150);
    CloseWindow(handle);
    EXPECT_FALSE(IsWindow(handle));
}

TEST_F(WindowTest, UnknownNumbersDoNothingAndReadZero) {
    EXPECT_EQ(WindowID(42), nullptr);
    EXPECT_EQ(WindowWidth(42), 0);
    EXPECT_EQ(GetWindowTitle(42), u"");
    SetWindowTitle(42, u"x");
    SetActiveWindow(42);
    DisableWindow(42, 1);
    StickyWindow(42, 1);
    CloseWindow(42);
    EXPECT_EQ(OpenWindow(-5, 0, 0, 10, 10, u""), 0);
}

TEST_F(WindowTest, FlagsGiveTheTitleBarButtons) {
    struct Case {
        int flags;
        bool close, minimise, maximise, frameless;
    };
    const Case cases[] = {
        {0, false, false, false, false},
        {WindowSystemMenu, true, false, false, false},
        {WindowMinimizeGadget, true, true, false, false},
        {WindowMaximizeGadget, true, false, true, false},
        {WindowSizeGadget, false, false, true, false},
        {WindowBorderless, false, false, false, true},
        {0x64, true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        OpenWindow(0, 0, 0, 120, 80, u"", c.flags | WindowInvisible);
        const Qt::WindowFlags f = WindowID(0)->windowFlags();
        EXPECT_EQ(f.testFlag(Qt::WindowCloseButtonHint), c.close);
        EXPECT_EQ(f.testFlag(Qt::WindowMinimizeButtonHint), c.minimise);
        EXPECT_EQ(f.testFlag(Qt::WindowMaximizeButtonHint), c.maximise);
        EXPECT_EQ(f.testFlag(Qt::FramelessWindowHint), c.frameless);
        if (!c.frameless) {
            EXPECT_TRUE(f.testFlag(Qt::WindowTitleHint));
        }
    }
}

TEST_F(WindowTest, FixedSizeUnlessResizableAndInvisibleStaysHidden) {
    OpenWindow(0, 0, 0, 200, 150, u"", WindowSystemMenu);
    EXPECT_TRUE(WindowID(0)->isVisible());
    EXPECT_EQ(WindowID(0)->minimumSize(), WindowID(0)->maximumSize());
    EXPECT_EQ(WindowHeight(0), 150);
    OpenWindow(1, 0, 0, 200, 150, u"", WindowSizeGadget | WindowInvisible);
    EXPECT_FALSE(WindowID(1)->isVisible());
    EXPECT_NE(WindowID(1)->minimumSize(), WindowID(1)->maximumSize());
    EXPECT_EQ(WindowWidth(1), 200);
}

TEST_F(WindowTest, CentredOnTheScreenByFlagOrPosition) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (int flags : {int{WindowScreenCentered}, 0}) {
        SCOPED_TRACE(flags);
        OpenWindow(0, flags ? 5 : WindowCentredPosition, 5, 200, 100, u"", flags);
        const QPoint centre = WindowID(0)->geometry().center();
        EXPECT_NEAR(centre.x(), screen.center().x(), 2);
        EXPECT_NEAR(centre.y(), screen.center().y(), 2);
    }
}

TEST_F(WindowTest, WindowWithParentIsItsChildAndMovesWithIt) {
    OpenWindow(0, 50, 50, 300, 200, u"Main", WindowSystemMenu);
    OpenWindow(2, 0, 0, 100, 80, u"Child", WindowWindowCentered, 0);
    QWidget* child = WindowID(2);
    EXPECT_EQ(child->parentWidget(), WindowID(0));
    EXPECT_TRUE(child->isWindow());
    EXPECT_NEAR(child->geometry().center().x(), WindowID(0)->geometry().center().x(), 2);
    const QPoint before = child->pos();
    WindowID(0)->move(WindowID(0)->pos() + QPoint(30, 20));
    EXPECT_EQ(child->pos(), before + QPoint(30, 20));
    // An invisible window is not attached.
    OpenWindow(1, 0, 0, 100, 80, u"Sheet", WindowInvisible, 0);
    EXPECT_EQ(WindowID(1)->parentWidget(), nullptr);
    // Closing the parent closes the attached child with its gadgets, not only its platform window.
    UseGadgetList(2);
    ButtonGadget(5, 0, 0, 50, 25, u"Close");
    CloseWindow(0);
    EXPECT_FALSE(IsWindow(2));
    EXPECT_FALSE(IsGadget(5));
    EXPECT_TRUE(IsWindow(1));
}

TEST_F(WindowTest, CloseButtonQueuesCloseEventAndTheWindowStays) {
    OpenWindow(0, 0, 0, 120, 80, u"", WindowSystemMenu);
    Settle();
    WindowID(0)->close();
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EventCodeCloseWindow);
    EXPECT_EQ(events[0].window, 0);
    EXPECT_TRUE(WindowID(0)->isVisible());
}

TEST_F(WindowTest, ClosingAWindowRemovesItsQueuedEventsAndGadgets) {
    OpenWindow(0, 0, 0, 120, 80, u"");
    OpenWindow(1, 0, 0, 120, 80, u"");
    ButtonGadget(5, 0, 0, 50, 25, u"B");
    QueueToolkitEvent(EventCodeGadget, 1, 5, 0);
    PostEvent(1068, 0, 0);
    PostEvent(1069, 1, 0);
    CloseWindow(1);
    EXPECT_FALSE(IsGadget(5));
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, 1068);
}

TEST_F(WindowTest, KeyWindowReturnsToThePreviousOneAfterClose) {
    OpenWindow(0, 0, 0, 200, 100, u"A");
    ASSERT_TRUE(WaitActive(0));
    OpenWindow(1, 300, 0, 200, 100, u"B");
    ASSERT_TRUE(WaitActive(1));
    OpenWindow(2, 0, 300, 200, 100, u"C", WindowNoActivate);
    EXPECT_EQ(GetActiveWindow(), 1) << "shown without activation";
    CloseWindow(1);
    EXPECT_EQ(GetActiveWindow(), 0);
    EXPECT_TRUE(WaitActive(0));
    // Without a previous key window left, the first visible window of the table becomes key.
    OpenWindow(3, 0, 0, 100, 100, u"D");
    ASSERT_TRUE(WaitActive(3));
    CloseWindow(0);
    SetActiveWindow(3);
    CloseWindow(3);
    EXPECT_EQ(GetActiveWindow(), 2);
}

TEST_F(WindowTest, DisabledWindowSwallowsClicksAndCloseRequestsAndRestoresItsFlags) {
    OpenWindow(0, 0, 0, 200, 100, u"", 0x64);
    ButtonGadget(5, 10, 10, 80, 25, u"Press");
    StringGadget(1, 10, 50, 120, 24, u"");
    SetActiveGadget(1);
    QWindow* handle = WindowID(0)->windowHandle();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(handle));
    StickyWindow(0, 1);
    const Qt::WindowFlags before = WindowID(0)->windowFlags();
    const QPoint onButton = GadgetID(5)->mapTo(WindowID(0), QPoint(40, 12));
    Settle();

    DisableWindow(0, 1);
    EXPECT_FALSE(WindowID(0)->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(WindowID(0)->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(WindowID(0)->isVisible()) << "changing the buttons does not hide the window";
    QTest::mouseClick(handle, Qt::LeftButton, {}, onButton);
    TypeInto(handle, "abc");
    QTest::keyClick(handle, Qt::Key_Tab);
    TypeInto(handle, "abc");
    WindowID(0)->close();
    EXPECT_EQ(GetGadgetText(1), u"") << "typing does not reach the field";
    EXPECT_TRUE(TakeAll().empty());

    DisableWindow(0, 0);
    EXPECT_EQ(WindowID(0)->windowFlags(), before);
    EXPECT_EQ(handle->flags(), before);
    QTest::mouseClick(handle, Qt::LeftButton, {}, onButton);
    // The click reaches the button, which takes the focus from the field.
    EXPECT_EQ(TakeGadgetEvents(), (Pairs{{1, EventTypeLostFocus}, {5, EventTypeLeftClick}}));
    SetActiveGadget(1);
    TypeInto(handle, "ok");
    EXPECT_EQ(GetGadgetText(1), u"ok");
}

TEST_F(WindowTest, StickyWindowStaysOnTopUntilReleased) {
    OpenWindow(0, 0, 0, 100, 100, u"", WindowSystemMenu);
    const Qt::WindowFlags before = WindowID(0)->windowFlags();
    StickyWindow(0, 1);
    EXPECT_TRUE(WindowID(0)->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(WindowID(0)->isVisible());
    StickyWindow(0, 0);
    EXPECT_EQ(WindowID(0)->windowFlags(), before);
}

TEST_F(WindowTest, SheetIsWindowModalAndCentredOnItsParent) {
    OpenWindow(0, 40, 40, 400, 300, u"Main", 0x64);
    ASSERT_TRUE(WaitActive(0));
    OpenWindow(1, 0, 0, 200, 120, u"", WindowInvisible);
    StringGadget(1, 10, 10, 100, 24, u"");
    EXPECT_FALSE(WindowID(1)->isVisible());
    BeginSheet(1, 0);
    QWidget* sheet = WindowID(1);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_NEAR(sheet->geometry().center().x(), WindowID(0)->geometry().center().x(), 2);
    EXPECT_NEAR(sheet->geometry().center().y(), WindowID(0)->geometry().center().y(), 2);
    EXPECT_TRUE(WaitActive(1));
    EXPECT_EQ(QApplication::activeModalWidget(), sheet);
    EndSheet(1);
    EXPECT_FALSE(sheet->isVisible());
    CloseWindow(1);
    EXPECT_EQ(GetActiveWindow(), 0);
}

TEST_F(WindowTest, PinnedWindowReturnsToItsPlace) {
    OpenWindow(0, 30, 30, 100, 100, u"", WindowSystemMenu);
    const QPoint place = WindowID(0)->pos();
    SetWindowMovable(0, 0);
    WindowID(0)->move(place + QPoint(50, 50));
    EXPECT_TRUE(QTest::qWaitFor([&] { return WindowID(0)->pos() == place; }, 2000));
    SetWindowMovable(0, 1);
    WindowID(0)->move(place + QPoint(50, 50));
    QCoreApplication::processEvents();
    EXPECT_EQ(WindowID(0)->pos(), place + QPoint(50, 50));
}

TEST_F(WindowTest, OpeningQueuesNothingAndGadgetsGoToTheNewWindow) {
    OpenWindow(0, 0, 0, 100, 100, u"");
    ClearEventQueue();
    OpenWindow(1, 0, 0, 100, 100, u"", WindowNoGadgets);
    EXPECT_EQ(QueuedEventCount(), 0);
    ButtonGadget(5, 0, 0, 10, 10, u"");
    EXPECT_EQ(GadgetID(5)->window(), WindowID(0));
    UseGadgetList(1);
    ButtonGadget(6, 0, 0, 10, 10, u"");
    EXPECT_EQ(GadgetID(6)->window(), WindowID(1));
}

}  // namespace
