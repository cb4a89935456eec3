#include "console/RtkitBroker.h"

#include "link/RealtimeRunLimit.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariant>

namespace quennel {

namespace {

constexpr const char* RtkitService = "org.freedesktop.RealtimeKit1";
constexpr const char* RtkitPath = "/org/freedesktop/RealtimeKit1";
// rtkit answers at once or not at all: a broker that hangs must not hold
// up the start of an operation.
constexpr int RtkitTimeoutMs = 500;

} // namespace

bool AskRtkitForRealtime(pid_t thread, int priority) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    const QDBusConnectionInterface* services = bus.interface();
    if (services == nullptr || !services->isServiceRegistered(QString::fromLatin1(RtkitService)).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(RtkitService),
                                                       QString::fromLatin1(RtkitPath),
                                                       QString::fromLatin1(RtkitService),
                                                       QStringLiteral("MakeThreadRealtime"));
    call << QVariant::fromValue(static_cast<qulonglong>(thread)) << QVariant::fromValue(static_cast<uint>(priority));
    const QDBusMessage reply = bus.call(call, QDBus::Block, RtkitTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    // Marked as the program's own raises are: a thread that stops sleeping
    // is taken back to normal scheduling.
    NoteRealtimeThread(thread, true);
    return true;
}

} // namespace quennel
