#include "app/startup.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include "app/app_icon.h"
#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/main_window.h"
#include "app/monitoring.h"
#include "platform/sleep_wake.h"
#include "runtime/file.h"
#include "strings/stringtable.h"
#include "toolkit/application.h"
#include "toolkit/event_queue.h"
#include "toolkit/window.h"

namespace {

// Watches the main window for its first paint; then, once the paint is done, ends the process
// when QUOLK_QUIT_AFTER_FIRST_PAINT=1, and otherwise finishes the start.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(AppState& state) : state_(state) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            const char* quit = std::getenv(QuitAfterFirstPaintVariable);
            if (quit && std::strcmp(quit, "1") == 0) QTimer::singleShot(0, [] { std::_Exit(0); });
            AppState& state = state_;
            QTimer::singleShot(0, [&state] { FinishStart(state); });
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    AppState& state_;
};

}  // namespace

SleepWakeObserver* StartSleepWakeObserver() {
    return CreateSleepWakeObserver([](bool goingToSleep) {
        PostEvent(goingToSleep ? EventSystemWillSleep : EventSystemDidWake, MainWindow, 0);
    });
}

bool StartApplication(AppState& state) {
    // Qt has set the user's locale; decimal texts always use the point.
    std::setlocale(LC_NUMERIC, "C");
    ClearHistory(state.history);
    const Text language = DetectLanguage();
    // Qt's dialogs speak the language of the program's own texts.
    const bool translated = LoadStringTable(language);
    LoadToolkitTranslations(translated ? TextView(language) : TextView());
    return OpenMainWindow(state);
}

void FinishStart(AppState& state) {
    LetPluginsIn();
    SetApplicationIcon(LoadApplicationIcon());
    if (!state.sleepWakeObserver) state.sleepWakeObserver = StartSleepWakeObserver();
}

void FinishStartAfterFirstPaint(AppState& state) {
    if (QWidget* window = WindowID(MainWindow)) window->installEventFilter(new FirstPaint(state));
}

int RunApplication(int& argc, char** argv) {
    InitToolkit(argc, argv, u"Quolk", u"quolk");
    // Until the main window's first paint: it reads only Qt's built-in PNGs.
    HoldPluginsBack();
    AppState state;
    if (!StartApplication(state)) {
        EndToolkit();
        return 1;
    }
    FinishStartAfterFirstPaint(state);
    const int status = RunMainLoop(state);
    CloseFile(AnyNumber);
    EndToolkit();
    return status;
}
