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

// Ends the process once the watched window has painted for the first time.
class FirstPaintExit : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, [] { std::_Exit(0); });
        return QObject::eventFilter(watched, event);
    }
};

void ArmFirstPaintExit() {
    const char* value = std::getenv(QuitAfterFirstPaintVariable);
    if (!value || std::strcmp(value, "1") != 0) return;
    if (QWidget* window = WindowID(MainWindow)) window->installEventFilter(new FirstPaintExit);
}

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
    LoadStringTable(DetectLanguage());
    state.sleepWakeObserver = StartSleepWakeObserver();
    return OpenMainWindow(state);
}

int RunApplication(int& argc, char** argv) {
    InitToolkit(argc, argv, u"Quolk", u"quolk");
    SetApplicationIcon(LoadApplicationIcon());
    AppState state;
    if (!StartApplication(state)) {
        EndToolkit();
        return 1;
    }
    ArmFirstPaintExit();
    const int status = RunMainLoop(state);
    CloseFile(AnyNumber);
    EndToolkit();
    return status;
}
