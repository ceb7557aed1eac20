// The sleep/wake observer against a bus of the test's own: a private dbus-daemon where the test
// plays logind.
#include <cstdlib>
#include <string>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>

#include "app/monitoring.h"
#include "app/startup.h"
#include "app_fixture.h"
#include "platform/sleep_wake.h"
#include "scratch_dir.h"

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");

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

void SendPrepareForSleep(QDBusConnection& connection, bool goingToSleep) {
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                     QStringLiteral("org.freedesktop.login1.Manager"),
                                                     QStringLiteral("PrepareForSleep"));
    signal << goingToSleep;
    ASSERT_TRUE(connection.send(signal));
}

// The next program-defined event within a generous limit (the bus is local), or 0; the window's
// own events (activation, painting) are passed over.
int32_t NextEvent() {
    for (;;) {
        const int32_t code = WaitWindowEvent(5000);
        if (code == 0 || code >= EventCodeFirstProgramDefined) return code;
    }
}

class SleepWakeTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        ASSERT_FALSE(bus.address.empty()) << "dbus-daemon did not start";
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("test-logind"));
        AppTest::TearDown();
    }
    QDBusConnection PlayLogind() {
        QDBusConnection connection =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address), QStringLiteral("test-logind"));
        EXPECT_TRUE(connection.isConnected());
        EXPECT_TRUE(connection.registerService(kLogind));
        return connection;
    }
    PrivateBus bus;
};

// Another program's forged signal comes first and is not heard; logind's signals follow in order.
// The quit sequence removes the observer and its connection.
TEST_F(SleepWakeTest, OnlyLogindsSleepAndWakeArriveAsEventsOfTheMainWindowUntilQuit) {
    EnvScope scope(SystemBusAddressVariable, bus.address);
    QDBusConnection logind = PlayLogind();
    state.sleepWakeObserver = StartSleepWakeObserver();
    ASSERT_NE(state.sleepWakeObserver, nullptr);
    const std::string forge = "dbus-send --address=" + bus.address +
                              " --type=signal /org/freedesktop/login1 org.freedesktop.login1.Manager.PrepareForSleep"
                              " boolean:true";
    ASSERT_EQ(std::system(forge.c_str()), 0);
    for (bool goingToSleep : {false, true}) {
        SendPrepareForSleep(logind, goingToSleep);
        EXPECT_EQ(NextEvent(), goingToSleep ? EventSystemWillSleep : EventSystemDidWake);
        EXPECT_EQ(EventWindow(), MainWindow);
    }
    EXPECT_EQ(RunLoop({}), 0);
    EXPECT_EQ(state.sleepWakeObserver, nullptr);
    // Once removed, the private connection is gone from the bus: only the test's own remains.
    const QStringList names = logind.interface()->registeredServiceNames().value();
    int uniqueNames = 0;
    for (const QString& name : names) uniqueNames += name.startsWith(QLatin1Char(':')) ? 1 : 0;
    EXPECT_EQ(uniqueNames, 1);
}

// A bus where nobody owns logind's name gives no observer (the start-up test has no bus at all).
TEST_F(SleepWakeTest, WithoutLogindThereIsNoObserver) {
    EnvScope scope(SystemBusAddressVariable, bus.address);
    EXPECT_EQ(StartSleepWakeObserver(), nullptr);
}

}  // namespace
