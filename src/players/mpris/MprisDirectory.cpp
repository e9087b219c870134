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
    m_asking.erase(name);
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
            if (invalidated.contains("PlaybackStatus")) {
                known.status.clear();
                known.complete = false;
            }
        } else if (interface == QLatin1String(kMprisRootInterface)) {
            if (changed.contains("Identity"))
                known.identity = changed.value("Identity").toString();
            if (invalidated.contains("Identity")) {
                known.identity.clear();
                known.complete = false;
            }
        }
    }
}

void MprisDirectory::complete(const std::optional<PollBudget>& budget)
{
    // A wait on calls of an earlier listing must not run past this budget:
    // they were sent with their own bound, which `due` keeps.
    const auto sentAt = PollBudget::Clock::now();
    const int timeout = mprisCallTimeout(budget);
    for (auto& [name, known] : m_players) {
        if (known.complete || m_asking.count(name))
            continue;
        QDBusMessage owner = QDBusMessage::createMethodCall(
            "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner");
        owner << name;
        m_calls += 3;
        // With the budget spent the questions still go out, for a later
        // listing to take in; a suspect's are given the full bound.
        const int bound = m_suspects.count(name) || timeout <= 0 ? kMprisCallTimeoutMs : timeout;
        m_asking.emplace(name, Asking{m_bus.asyncCall(owner, bound),
            m_bus.asyncCall(propertyGet(name, kMprisRootInterface, "Identity"), bound),
            m_bus.asyncCall(propertyGet(name, kMprisPlayerInterface, "PlaybackStatus"), bound),
            sentAt + std::chrono::milliseconds(bound)});
    }
    for (auto it = m_asking.begin(); it != m_asking.end();) {
        auto known = m_players.find(it->first);
        Asking& a = it->second;
        const bool wait = known != m_players.end() && !m_suspects.count(it->first)
            && (!budget || a.due <= budget->deadline());
        if (!wait && !(a.owner.isFinished() && a.identity.isFinished() && a.status.isFinished())) {
            ++it;
            continue;
        }
        const auto owner = answer(a.owner);
        const auto identity = answer(a.identity);
        const auto status = answer(a.status);
        if (known != m_players.end()) {
            if (owner)
                known->second.owner = owner->toString();
            // A signal since the question is at least as new as the answer.
            if (identity && known->second.identity.isEmpty())
                known->second.identity = identity->toString();
            if (status && known->second.status.isEmpty())
                known->second.status = status->toString();
            known->second.complete = owner && identity && status;
            if (known->second.complete)
                m_suspects.erase(it->first);
            else
                m_suspects.insert(it->first);
        }
        it = m_asking.erase(it);
    }
}

std::vector<MprisPeer> MprisDirectory::players(const std::optional<PollBudget>& budget)
{
    if (!m_bus.isConnected())
        return {};
    catchUp();
    if (!m_listed) {
        ++m_calls;
        const QDBusMessage names = busDaemonCall("ListNames", {}, std::max(1, mprisCallTimeout(budget)));
        if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
            return {};
        for (const QString& name : names.arguments().first().toStringList()) {
            if (name.startsWith(QLatin1String(kMprisPrefix)) && !m_players.count(name))
                m_players[name] = Known{};
        }
        m_listed = true;
    }
    complete(budget);
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
