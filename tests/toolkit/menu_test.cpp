// The application menu and the desktop's quit requests: they ask the program, which keeps running.
#include <QAction>
#include <QApplication>
#include <QImageReader>
#include <QMenuBar>
#include <QProxyStyle>

#include <functional>

#include "toolkit/application.h"
#include "toolkit/menu.h"
#include "toolkit_fixture.h"

namespace {

using MenuTest = ToolkitTest;

// A menu bar asks for its extension button's icon at once; it is made when drawn, as the base
// style's.
TEST_F(MenuTest, TheBarsExtensionIconsDrawAsTheBaseStylesOwn) {
    const QStyle* base = static_cast<QProxyStyle*>(QApplication::style())->baseStyle();
    for (QStyle::StandardPixmap which : {QStyle::SP_ToolBarHorizontalExtensionButton,
                                         QStyle::SP_ToolBarVerticalExtensionButton, QStyle::SP_DialogOkButton}) {
        const QImage expected = base->standardIcon(which).pixmap(16).toImage();
        EXPECT_FALSE(expected.isNull()) << which;
        EXPECT_EQ(QApplication::style()->standardIcon(which).pixmap(16).toImage(), expected) << which;
    }
}

// Held back, Qt has no folder to look for plugins in (so a first image read loads none); let in, the
// folders are back, a second hold included, and with them every plugin's format.
TEST(PluginsTest, HeldBackThenLetInAgain) {
    const QStringList paths = QCoreApplication::libraryPaths();
    ASSERT_FALSE(paths.isEmpty());
    HoldPluginsBack();
    EXPECT_TRUE(QCoreApplication::libraryPaths().isEmpty());
    HoldPluginsBack();
    LetPluginsIn();
    EXPECT_EQ(QCoreApplication::libraryPaths(), paths);
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("jpeg"));
}

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
