// logind's PrepareForSleep(bool) on org.freedesktop.login1.Manager: true before the system
// sleeps, false after it woke. Only signals from the owner of logind's bus name are heard.
#include "platform/sleep_wake.h"

#include <cstdlib>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>

namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kPrivateConnectionName = QStringLiteral("quolk-sleep-wake");

}  // namespace

class SleepWakeObserver : public QObject {
    Q_OBJECT
public:
    SleepWakeObserver(QDBusConnection connection, bool privateConnection, SleepWakeHandler handler)
        : connection_(std::move(connection)), private_(privateConnection), handler_(std::move(handler)) {}

    bool Listen() {
        return connection_.connect(kLogindService, kLogindPath, kManagerInterface,
                                   QStringLiteral("PrepareForSleep"), this, SLOT(PrepareForSleep(bool)));
    }

    ~SleepWakeObserver() override {
        connection_.disconnect(kLogindService, kLogindPath, kManagerInterface,
                               QStringLiteral("PrepareForSleep"), this, SLOT(PrepareForSleep(bool)));
        if (private_) QDBusConnection::disconnectFromBus(connection_.name());
    }

private Q_SLOTS:
    void PrepareForSleep(bool goingToSleep) {
        if (handler_) handler_(goingToSleep);
    }

private:
    QDBusConnection connection_;
    bool private_ = false;
    SleepWakeHandler handler_;
};

SleepWakeObserver* CreateSleepWakeObserver(SleepWakeHandler handler) {
    const char* address = std::getenv(SystemBusAddressVariable);
    const bool privateConnection = address && *address;
    QDBusConnection connection = privateConnection
        ? QDBusConnection::connectToBus(QString::fromLocal8Bit(address), kPrivateConnectionName)
        : QDBusConnection::systemBus();
    QDBusConnectionInterface* bus = connection.isConnected() ? connection.interface() : nullptr;
    if (!bus || !bus->isServiceRegistered(kLogindService).value()) {
        if (privateConnection) QDBusConnection::disconnectFromBus(kPrivateConnectionName);
        return nullptr;
    }
    auto* observer = new SleepWakeObserver(connection, privateConnection, std::move(handler));
    if (!observer->Listen()) {
        delete observer;
        return nullptr;
    }
    return observer;
}

void RemoveSleepWakeObserver(SleepWakeObserver* observer) { delete observer; }

#include "sleep_wake.moc"
