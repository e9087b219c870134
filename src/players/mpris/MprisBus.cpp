#include "players/mpris/MprisBus.h"

#include "players/mpris/MprisSession.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <cstring>
#include <memory>

namespace players {

namespace {

QDBusMessage propertyGet(const QString& busName, const char* interface, const char* property)
{
    QDBusMessage message = QDBusMessage::createMethodCall(busName, kMprisPath, kPropertiesInterface, "Get");
    message << QString::fromLatin1(interface) << QString::fromLatin1(property);
    return message;
}

QString answeredText(QDBusPendingCall& call)
{
    call.waitForFinished();
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
}

} // namespace

QDBusConnection mprisSessionBus()
{
    if (!QCoreApplication::instance()) {
        // Lives as long as the process; a host with a Qt application of its
        // own never gets here.
        static int argc = 1;
        static char name[] = "zintara";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* application = new QCoreApplication(argc, argv);
        (void)application;
    }
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

QDBusMessage busDaemonCall(const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method);
    message.setArguments(arguments);
    return mprisSessionBus().call(message, QDBus::Block, kMprisCallTimeoutMs);
}

std::string fallbackIdentity(const std::string& busName)
{
    std::string name = busName.rfind(kMprisPrefix, 0) == 0 ? busName.substr(std::strlen(kMprisPrefix)) : busName;
    if (const auto instance = name.find(".instance"); instance != std::string::npos)
        name.erase(instance);
    return name;
}

std::vector<MprisPeer> listMprisPlayers()
{
    if (!mprisSessionBus().isConnected())
        return {};
    const QDBusMessage names = busDaemonCall("ListNames", {});
    if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
        return {};
    QStringList players;
    for (const QString& name : names.arguments().first().toStringList()) {
        if (name.startsWith(QLatin1String(kMprisPrefix)))
            players << name;
    }
    players.sort();

    // Ask every player at once, so the waits overlap instead of adding up.
    struct Asked {
        QString busName;
        QDBusPendingCall identity;
        QDBusPendingCall status;
    };
    QDBusConnection bus = mprisSessionBus();
    std::vector<Asked> asked;
    for (const QString& name : players) {
        asked.push_back({name,
            bus.asyncCall(propertyGet(name, kMprisRootInterface, "Identity"), kMprisCallTimeoutMs),
            bus.asyncCall(propertyGet(name, kMprisPlayerInterface, "PlaybackStatus"), kMprisCallTimeoutMs)});
    }
    std::vector<MprisPeer> peers;
    for (Asked& a : asked) {
        MprisPeer peer;
        peer.busName = a.busName.toStdString();
        peer.identity = answeredText(a.identity).toStdString();
        if (peer.identity.empty())
            peer.identity = fallbackIdentity(peer.busName);
        peer.playbackStatus = answeredText(a.status).toStdString();
        peers.push_back(std::move(peer));
    }
    return peers;
}

} // namespace players
