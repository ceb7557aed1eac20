// The application menu and the desktop's quit requests: they ask the program, which keeps running.
#include <QAction>
#include <QApplication>
#include <QMenuBar>

#include <functional>

#include "toolkit/menu.h"
#include "toolkit_fixture.h"

namespace {

using MenuTest = ToolkitTest;

TEST_F(MenuTest, QuitRequestsAboutAndOwnItemsAreMenuEventsAndTheApplicationKeepsRunning) {
    OpenWindow(0, 0, 0, 300, 200, u"Main", 0x64);
    ASSERT_NE(CreateMenu(0, WindowID(0)), 0);
    QAction* about = ApplicationMenuAction(MenuItemAbout);
    EXPECT_FALSE(about->isEnabled()) << "until the program connects it";
    MenuTitle(u"File");
    MenuItem(7, u"Open");
    MenuItem(MenuItemAbout, u"ignored");
    Settle();
    QAction* quit = ApplicationMenuAction(MenuItemQuit);
    EXPECT_EQ(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    QAction* open = nullptr;
    for (QAction* action : WindowID(0)->findChild<QMenuBar*>()->findChildren<QAction*>())
        if (action->text() == u"Open") open = action;
    ASSERT_NE(open, nullptr);
    // The desktop's quit request is the Quit item's event.
    const struct { std::function<void()> act; int64_t item, window; } table[] = {
        {[quit] { quit->trigger(); }, MenuItemQuit, -1},
        {[] { QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit)); }, MenuItemQuit, -1},
        {[about] { about->trigger(); }, MenuItemAbout, 0},
        {[open] { open->trigger(); }, 7, 0}};
    for (const auto& row : table) {
        row.act();
        EXPECT_EQ(WaitWindowEvent(5000), EventCodeMenu) << row.item;
        EXPECT_EQ(std::pair(EventMenu(), EventWindow()), std::pair(row.item, row.window));
    }
    // Closing every window only asks each one.
    QApplication::closeAllWindows();
    const auto events = TakeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, EventCodeCloseWindow);
    EXPECT_TRUE(WindowID(0)->isVisible());
    EXPECT_EQ(WindowHeight(0), 200) << "the content keeps its size below the menu bar";
    CloseWindow(0);
    EXPECT_FALSE(about->isEnabled()) << "its window is gone";
}

}  // namespace
