// Menu bars and the application menu. On this desktop the application menu is the first menu of
// each window's menu bar rather than a global one.
#include "toolkit/menu.h"

#include <memory>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

#include "runtime/objects.h"
#include "toolkit/event_queue.h"
#include "toolkit/qt_text.h"
#include "toolkit/window_record.h"

namespace {

struct MenuRecord {
    QPointer<QMenuBar> bar;
    QPointer<QMenu> current;  // the menu of the last MenuTitle, none before
    int64_t window = -1;

    ~MenuRecord() { delete bar.data(); }
};

struct ApplicationMenu {
    std::unique_ptr<QMenu> menu;
    QAction* about = nullptr;
    QAction* preferences = nullptr;
    QAction* quit = nullptr;
    // The windows the items are tied to; -1 while not tied (About and Preferences stay disabled).
    int64_t aboutWindow = -1;
    int64_t preferencesWindow = -1;
    int64_t quitWindow = -1;
};

ApplicationMenu application;
int64_t currentMenu = -1;

ObjectTable<MenuRecord>& MenuTable() {
    static ObjectTable<MenuRecord> table(8);
    return table;
}

MenuRecord* CurrentMenu() {
    MenuRecord* record = MenuTable().Get(currentMenu);
    return record && record->bar ? record : nullptr;
}

QAction* AddApplicationAction(const QString& title, const QKeySequence& keys, int64_t item,
                              const int64_t* tiedWindow) {
    QAction* action = application.menu->addAction(title);
    action->setShortcut(keys);
    QObject::connect(action, &QAction::triggered, action, [item, tiedWindow] {
        QueueToolkitEvent(EventCodeMenu, *tiedWindow, item, 0);
    });
    return action;
}

}  // namespace

void BuildApplicationMenu() {
    if (application.menu) return;
    const QString name = QCoreApplication::applicationName();
    application.menu = std::make_unique<QMenu>(name);
    application.about = AddApplicationAction(QStringLiteral("About %1").arg(name), QKeySequence(),
                                             MenuItemAbout, &application.aboutWindow);
    application.menu->addSeparator();
    application.preferences = AddApplicationAction(QStringLiteral("Preferences\u2026"),
                                                   QKeySequence(QStringLiteral("Ctrl+,")),
                                                   MenuItemPreferences, &application.preferencesWindow);
    application.menu->addSeparator();
    application.quit = AddApplicationAction(QStringLiteral("Quit %1").arg(name),
                                            QKeySequence(QStringLiteral("Ctrl+Q")), MenuItemQuit,
                                            &application.quitWindow);
    // Quit answers its keys in every window of the application, not only in the one whose menu
    // bar holds it.
    application.quit->setShortcutContext(Qt::ApplicationShortcut);
    application.about->setEnabled(false);
    application.preferences->setEnabled(false);
}

void FreeApplicationMenu() {
    MenuTable().Free(AnyNumber);
    application = ApplicationMenu{};
}

QAction* ApplicationMenuAction(int64_t item) {
    switch (item) {
    case MenuItemAbout: return application.about;
    case MenuItemPreferences: return application.preferences;
    case MenuItemQuit: return application.quit;
    default: return nullptr;
    }
}

int64_t CreateMenu(int64_t number, QWidget* window) {
    const int64_t windowNumber = WindowNumberOf(window);
    WindowRecord* record = FindWindowRecord(windowNumber);
    if (!record || (number != AnyNumber && number < 0)) return 0;
    // The window grows by the bar's height now, at the program's request: not an event.
    SuppressEventsScope quiet;
    BuildApplicationMenu();
    if (number != AnyNumber) FreeMenu(number);
    int64_t handle = number;
    MenuRecord* menu = MenuTable().Create(handle);
    if (!menu) return 0;
    auto* bar = new QMenuBar(record->window);
    bar->addMenu(application.menu.get());
    // A bar already in the window is replaced; its record lives on without a bar.
    if (QWidget* old = record->window->Layout()->menuBar()) old->hide();
    record->window->Layout()->setMenuBar(bar);
    bar->show();
    record->window->Layout()->activate();
    // A window opened centred stays centred with the bar's height added.
    RecentreWindowRecord(*record);
    menu->bar = bar;
    menu->window = windowNumber;
    currentMenu = handle;
    return number == AnyNumber ? handle : reinterpret_cast<intptr_t>(bar);
}

void MenuTitle(TextView title) {
    MenuRecord* menu = CurrentMenu();
    if (menu) menu->current = menu->bar->addMenu(ToQString(title));
}

void MenuItem(int64_t item, TextView text) {
    MenuRecord* menu = CurrentMenu();
    if (!menu) return;
    if (item == MenuItemAbout || item == MenuItemPreferences) {
        QAction* action = ApplicationMenuAction(item);
        (item == MenuItemAbout ? application.aboutWindow : application.preferencesWindow) = menu->window;
        if (action) action->setEnabled(true);
        return;
    }
    if (item == MenuItemQuit) {
        application.quitWindow = menu->window;
        return;
    }
    QAction* action = menu->current ? menu->current->addAction(ToQString(text))
                                    : menu->bar->addAction(ToQString(text));
    const int64_t window = menu->window;
    QObject::connect(action, &QAction::triggered, action,
                     [window, item] { QueueToolkitEvent(EventCodeMenu, window, item, 0); });
}

void MenuBar() {
    MenuRecord* menu = CurrentMenu();
    if (!menu) return;
    if (menu->current)
        menu->current->addSeparator();
    else
        menu->bar->addSeparator();
}

void FreeMenu(int64_t number) {
    if (number == AnyNumber) return;
    MenuTable().Free(number);
    if (currentMenu == number) currentMenu = -1;
}

void FreeWindowMenus(int64_t window) {
    std::vector<int64_t> owned;
    MenuTable().ForEach([&](int64_t number, MenuRecord& record) {
        if (record.window == window) owned.push_back(number);
    });
    for (int64_t number : owned) FreeMenu(number);
    // Items tied to the closing window fall back to their untied state.
    if (application.aboutWindow == window) {
        application.aboutWindow = -1;
        if (application.about) application.about->setEnabled(false);
    }
    if (application.preferencesWindow == window) {
        application.preferencesWindow = -1;
        if (application.preferences) application.preferences->setEnabled(false);
    }
    if (application.quitWindow == window) application.quitWindow = -1;
}
