// The sleep/wake observer against a bus of the test's own: a private dbus-daemon where the test
// plays logind.
#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>

#include "app/monitoring.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "platform/sleep_wake.h"
#include "scratch_dir.h"

namespace {

// A dbus-daemon of the test's own, a child of the test ended and reaped with the scope.
struct PrivateBus {
    std::string address;
    QProcess daemon;

    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(5000)) return;
        while (!daemon.canReadLine() && daemon.waitForReadyRead(5000)) {}
        address = daemon.readLine().trimmed().toStdString();
    }
    ~PrivateBus() {
        daemon.terminate();
        if (!daemon.waitForFinished(5000)) daemon.kill();
        daemon.waitForFinished(5000);
    }
};

using SleepWakeTest = AppTest;

// logind's sleep and wake arrive in order as events of the main window (the main window's loop pauses
// and resumes the session on them; the monitoring round posts them).
TEST_F(SleepWakeTest, LogindsSleepAndWakeArriveAsEventsOfTheMainWindow) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.empty()) << "dbus-daemon did not start";
    EnvScope scope(SystemBusAddressVariable, bus.address);
    QDBusConnection logind =
        QDBusConnection::connectToBus(QString::fromStdString(bus.address), QStringLiteral("test-logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    state.sleepWakeObserver = StartSleepWakeObserver();
    ASSERT_NE(state.sleepWakeObserver, nullptr);
    for (bool goingToSleep : {true, false}) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                                         QStringLiteral("PrepareForSleep"));
        signal << goingToSleep;
        ASSERT_TRUE(logind.send(signal));
        int32_t code = 0;  // the window's own events (activation, painting) are passed over
        while ((code = WaitWindowEvent(5000)) != 0 && code < EventCodeFirstProgramDefined) continue;
        EXPECT_EQ(code, goingToSleep ? EventSystemWillSleep : EventSystemDidWake);
        EXPECT_EQ(EventWindow(), MainWindow);
    }
    EXPECT_EQ(RunLoop({}), 0);
    EXPECT_EQ(state.sleepWakeObserver, nullptr) << "the quit sequence removes the observer";
    QDBusConnection::disconnectFromBus(QStringLiteral("test-logind"));
}

}  // namespace
