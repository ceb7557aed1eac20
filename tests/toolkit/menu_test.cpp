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
        Settle();
    }
};

TEST_F(MenuTest, QuitItemIsAMenuEventAndTheApplicationKeepsRunning) {
    CreateMenu(0, WindowID(0));
    QAction* quit = ApplicationMenuAction(MenuItemQuit);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), u"Quit Quolk");
    EXPECT_EQ(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    quit->trigger();
    EXPECT_EQ(WaitWindowEvent(), EventCodeMenu);
    EXPECT_EQ(EventMenu(), MenuItemQuit);
    EXPECT_EQ(EventWindow(), -1);
    EXPECT_TRUE(IsWindow(0));
    PostEvent(1068);
    EXPECT_EQ(WaitWindowEvent(), 1068) << "the loop still runs";
}

TEST_F(MenuTest, DesktopQuitRequestsBecomeQuitMenuEvents) {
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    EXPECT_EQ(WaitWindowEvent(5000), EventCodeMenu);
    EXPECT_EQ(EventMenu(), MenuItemQuit);
    EXPECT_EQ(EventWindow(), -1);
    EXPECT_FALSE(QCoreApplication::closingDown());
    EXPECT_TRUE(WindowID(0)->isVisible());
    // Closing every window only asks each one.
    QApplication::closeAllWindows();
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EventCodeCloseWindow);
    EXPECT_TRUE(WindowID(0)->isVisible());
}

TEST_F(MenuTest, AboutAndPreferencesStayDisabledUntilConnected) {
    CreateMenu(0, WindowID(0));
    QAction* about = ApplicationMenuAction(MenuItemAbout);
    QAction* preferences = ApplicationMenuAction(MenuItemPreferences);
    EXPECT_EQ(about->text(), u"About Quolk");
    EXPECT_EQ(preferences->text(), u"Preferences\u2026");
    EXPECT_FALSE(about->isEnabled());
    EXPECT_FALSE(preferences->isEnabled());
    MenuItem(MenuItemAbout, u"ignored");
    EXPECT_TRUE(about->isEnabled());
    EXPECT_FALSE(preferences->isEnabled());
    about->trigger();
    EXPECT_EQ(WaitWindowEvent(), EventCodeMenu);
    EXPECT_EQ(EventMenu(), MenuItemAbout);
    EXPECT_EQ(EventWindow(), 0);
    CloseWindow(0);
    EXPECT_FALSE(about->isEnabled()) << "its window is gone";
}

TEST_F(MenuTest, MenuBarKeepsTheContentSize) {
    ASSERT_NE(CreateMenu(0, WindowID(0)), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(WindowWidth(0), 300);
    EXPECT_EQ(WindowHeight(0), 200);
    QMenuBar* bar = WindowID(0)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_GE(WindowID(0)->findChild<QWidget*>("Xo_content")->y(), bar->sizeHint().height());
    EXPECT_EQ(CreateMenu(1, nullptr), 0);
}

TEST_F(MenuTest, OwnItemsGiveMenuEventsWithTheirWindow) {
    CreateMenu(0, WindowID(0));
    MenuTitle(u"File");
    MenuItem(7, u"Open");
    QMenuBar* bar = WindowID(0)->findChild<QMenuBar*>();
    QAction* open = nullptr;
    for (QAction* action : bar->findChildren<QAction*>())
        if (action->text() == u"Open") open = action;
    ASSERT_NE(open, nullptr);
    open->trigger();
    EXPECT_EQ(WaitWindowEvent(), EventCodeMenu);
    EXPECT_EQ(EventMenu(), 7);
    EXPECT_EQ(EventWindow(), 0);
}

}  // namespace
