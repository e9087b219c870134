#include "players/mpris/MprisSession.h"

#include <QCoreApplication>

#include <cstring>

namespace players {

QDBusConnection mprisSessionBus()
{
    // QtDBus hands out the bus's signals through the application's event
    // machinery. Without a Qt application there is no bus to offer: a
    // connection that is not connected makes every call fail as a player
    // that is not there, never a half-working bus.
    if (!QCoreApplication::instance())
        return QDBusConnection(QStringLiteral("zintara-without-application"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A new connection hands out signals only once the thread's event loop
    // has run the call that enables it; a host that runs no loop between
    // scripts would never see one. Run that call now, once.
    static const bool dispatching = [] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        return true;
    }();
    (void)dispatching;
    return bus;
}

QDBusMessage busDaemonCall(const QString& method, const QVariantList& arguments, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method);
    message.setArguments(arguments);
    return mprisSessionBus().call(message, QDBus::Block, timeoutMs);
}

std::string withoutMprisPrefix(const std::string& busName)
{
    return busName.rfind(kMprisPrefix, 0) == 0 ? busName.substr(std::strlen(kMprisPrefix)) : busName;
}

std::string fallbackIdentity(const std::string& busName)
{
    std::string name = withoutMprisPrefix(busName);
    if (const auto instance = name.find(".instance"); instance != std::string::npos)
        name.erase(instance);
    return name;
}

} // namespace players
