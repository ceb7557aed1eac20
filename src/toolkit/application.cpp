// Start and end of the toolkit, and the interception of the desktop's quit requests.
#include "toolkit/application.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QSessionManager>
#include <QTranslator>

#include <memory>
#include <optional>

#include "toolkit/event_queue.h"
#include "toolkit/menu.h"
#include "toolkit/qt_text.h"
#include "toolkit/toolkit_style.h"
#include "toolkit/window.h"
#include "toolkit/window_record.h"

namespace {

// The program ends when it decides to: a quit request of the desktop only asks it to, as the
// Quit menu item does.
class QuitInterceptor : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Quit) {
            QueueToolkitEvent(EventCodeMenu, -1, MenuItemQuit, 0);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

QuitInterceptor* interceptor = nullptr;
QApplication* ownApplication = nullptr;

}  // namespace

int InitToolkit(int& argc, char** argv, TextView applicationName, TextView desktopFileName) {
    if (!qApp) ownApplication = new QApplication(argc, argv);
    // Not the display name: Qt would append that to every window title on X11.
    if (!applicationName.empty()) QCoreApplication::setApplicationName(ToQString(applicationName));
    if (!desktopFileName.empty()) QGuiApplication::setDesktopFileName(ToQString(desktopFileName));
    InstallToolkitStyle();
    QApplication::setQuitOnLastWindowClosed(false);
    if (!interceptor) {
        interceptor = new QuitInterceptor;
        qApp->installEventFilter(interceptor);
        // A session log-out asks every application to save; here it asks the program to quit.
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, interceptor,
                         [](QSessionManager&) { QueueToolkitEvent(EventCodeMenu, -1, MenuItemQuit, 0); });
    }
    BuildApplicationMenu();
    return 1;
}

namespace {

std::optional<QStringList> heldLibraryPaths;

}  // namespace

void HoldPluginsBack() {
    if (heldLibraryPaths) return;
    heldLibraryPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
}

void LetPluginsIn() {
    if (!heldLibraryPaths) return;
    QCoreApplication::setLibraryPaths(*heldLibraryPaths);
    heldLibraryPaths.reset();
}

bool LoadToolkitTranslations(TextView languageCode) {
    static QTranslator* loaded = nullptr;
    if (loaded) QCoreApplication::removeTranslator(loaded);
    delete loaded;
    loaded = nullptr;
    if (languageCode.empty()) return false;
    auto translator = std::make_unique<QTranslator>();
    // qt_LANG is the catalogue of Qt's modules, qtbase among them.
    if (!translator->load(QStringLiteral("qt_") + ToQString(languageCode), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    loaded = translator.release();
    return QCoreApplication::installTranslator(loaded);
}

void EndToolkit() {
    CloseWindow(-1);
    FreeApplicationMenu();
    ClearEventQueue();
    if (interceptor) {
        if (qApp) qApp->removeEventFilter(interceptor);
        delete interceptor;
        interceptor = nullptr;
    }
    delete ownApplication;
    ownApplication = nullptr;
}

void BringApplicationToFront() {
    if (!ActivateWindowRecord(KeyWindow())) ActivateWindowRecord(FirstVisibleWindow());
}

void Beep() { QApplication::beep(); }

void SetApplicationIcon(const QIcon& icon) { QApplication::setWindowIcon(icon); }
