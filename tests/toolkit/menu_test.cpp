// The application menu and the desktop's quit requests: they ask the program, which keeps running.
#include <QAction>
#include <QApplication>
#include <QMenuBar>

#include "toolkit/menu.h"
#include "toolkit_fixture.h"

namespace {

class MenuTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        OpenWindow(0, 0, 0, 300, 200, u"Main", 0x64);
        ASSERT_NE(CreateMenu(0, WindowID(0)), 0);
        Settle();
    }
    static void ExpectMenuEvent(int64_t item, int64_t window) {
        EXPECT_EQ(WaitWindowEvent(5000), EventCodeMenu);
        EXPECT_EQ(EventMenu(), item);
        EXPECT_EQ(EventWindow(), window);
    }
};

TEST_F(MenuTest, QuitItemAndDesktopQuitRequestAreMenuEventsAndTheApplicationKeepsRunning) {
    QAction* quit = ApplicationMenuAction(MenuItemQuit);
    EXPECT_EQ(quit->text(), u"Quit Quolk");
    EXPECT_EQ(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    quit->trigger();
    ExpectMenuEvent(MenuItemQuit, -1);
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    ExpectMenuEvent(MenuItemQuit, -1);
    // Closing every window only asks each one.
    QApplication::closeAllWindows();
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EventCodeCloseWindow);
    EXPECT_TRUE(WindowID(0)->isVisible());
    PostEvent(1068);
    EXPECT_EQ(WaitWindowEvent(), 1068) << "the loop still runs";
}

TEST_F(MenuTest, OwnItemsAndConnectedAboutGiveMenuEventsWithTheirWindow) {
    QAction* about = ApplicationMenuAction(MenuItemAbout);
    EXPECT_FALSE(about->isEnabled()) << "until the program connects it";
    MenuTitle(u"File");
    MenuItem(7, u"Open");
    MenuItem(MenuItemAbout, u"ignored");
    about->trigger();
    ExpectMenuEvent(MenuItemAbout, 0);
    for (QAction* action : WindowID(0)->findChild<QMenuBar*>()->findChildren<QAction*>())
        if (action->text() == u"Open") action->trigger();
    ExpectMenuEvent(7, 0);
    EXPECT_EQ(WindowHeight(0), 200) << "the content keeps its size below the menu bar";
    CloseWindow(0);
    EXPECT_FALSE(about->isEnabled()) << "its window is gone";
}

}  // namespace
