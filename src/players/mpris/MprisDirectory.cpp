#include "players/mpris/MprisDirectory.h"

#include "players/mpris/MprisSession.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QDBusVariant>

namespace players {

namespace {

QDBusMessage propertyGet(const QString& busName, const char* interface, const char* property)
{
    QDBusMessage message = QDBusMessage::createMethodCall(busName, kMprisPath, kPropertiesInterface, "Get");
    message << QString::fromLatin1(interface) << QString::fromLatin1(property);
    return message;
}

// The answer's value, or nothing when there was no answer in time.
std::optional<QVariant> answer(QDBusPendingCall& call)
{
    call.waitForFinished();
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply.arguments().first();
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

MprisDirectory& MprisDirectory::shared()
{
    static MprisDirectory* directory = new MprisDirectory; // lives as long as the bus connection
    return *directory;
}

MprisDirectory::MprisDirectory()
    : m_bus(mprisSessionBus())
{
    m_bus.connect("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameOwnerChanged", this,
        SLOT(nameOwnerChanged(QString, QString, QString)));
    // From any sender: the sender's unique name says which player it is.
    m_bus.connect(QString(), kMprisPath, kPropertiesInterface, "PropertiesChanged", this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
}

void MprisDirectory::catchUp()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void MprisDirectory::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (!name.startsWith(QLatin1String(kMprisPrefix)))
        return;
    if (newOwner.isEmpty())
        m_players.erase(name);
    else
        m_players[name] = Known{newOwner, {}, {}, false};
}

void MprisDirectory::propertiesChanged(const QString& interface, const QVariantMap& changed,
    const QStringList& invalidated, const QDBusMessage& message)
{
    for (auto& [name, known] : m_players) {
        if (known.owner != message.service())
            continue;
        if (interface == QLatin1String(kMprisPlayerInterface)) {
            if (changed.contains("PlaybackStatus"))
                known.status = changed.value("PlaybackStatus").toString();
            if (invalidated.contains("PlaybackStatus"))
                known.complete = false;
        } else if (interface == QLatin1String(kMprisRootInterface)) {
            if (changed.contains("Identity"))
                known.identity = changed.value("Identity").toString();
            if (invalidated.contains("Identity"))
                known.complete = false;
        }
    }
}

void MprisDirectory::complete()
{
    struct Asked {
        QString name;
        QDBusPendingCall owner, identity, status;
    };
    std::vector<Asked> asked;
    for (auto& [name, known] : m_players) {
        if (known.complete)
            continue;
        QDBusMessage owner = QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner");
        owner << name;
        m_calls += 3;
        asked.push_back({name, m_bus.asyncCall(owner, kMprisCallTimeoutMs),
            m_bus.asyncCall(propertyGet(name, kMprisRootInterface, "Identity"), kMprisCallTimeoutMs),
            m_bus.asyncCall(propertyGet(name, kMprisPlayerInterface, "PlaybackStatus"), kMprisCallTimeoutMs)});
    }
    for (Asked& a : asked) {
        const auto owner = answer(a.owner);
        const auto identity = answer(a.identity);
        const auto status = answer(a.status);
        auto it = m_players.find(a.name);
        if (it == m_players.end())
            continue;
        if (owner)
            it->second.owner = owner->toString();
        if (identity)
            it->second.identity = identity->toString();
        if (status)
            it->second.status = status->toString();
        // A player that did not answer is asked again at the next listing.
        it->second.complete = owner && identity && status;
    }
}

std::vector<MprisPeer> MprisDirectory::players()
{
    if (!m_bus.isConnected())
        return {};
    catchUp();
    if (!m_listed) {
        ++m_calls;
        const QDBusMessage names = busDaemonCall("ListNames", {});
        if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
            return {};
        for (const QString& name : names.arguments().first().toStringList()) {
            if (name.startsWith(QLatin1String(kMprisPrefix)) && !m_players.count(name))
                m_players[name] = Known{};
        }
        m_listed = true;
    }
    complete();
    // Signals that came in while asking were sent before the answers, the
    // last of them with the answer's value: taking them in order ends on it.
    catchUp();

    std::vector<MprisPeer> peers;
    for (const auto& [name, known] : m_players) {
        MprisPeer peer;
        peer.busName = name.toStdString();
        peer.identity = known.identity.toStdString();
        if (peer.identity.empty())
            peer.identity = fallbackIdentity(peer.busName);
        peer.playbackStatus = known.status.toStdString();
        peers.push_back(std::move(peer));
    }
    return peers;
}

} // namespace players
