#include "players/mpris/MprisLink.h"

#include "kit/Clock.h"
#include "players/mpris/MprisSession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <algorithm>

namespace players {

using script::Error;
namespace errc = script::errc;

namespace {

// An extrapolated position is read afresh after this long, so a player
// that stalls without saying so is not drifted from for ever.
constexpr double kAnchorLife = 5.0;

bool isTimeout(const QString& errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || errorName == QLatin1String("org.freedesktop.DBus.Error.Timeout")
        || errorName == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

bool isGone(const QString& errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || errorName == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

QVariant firstArgument(const QDBusMessage& reply)
{
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first();
}

} // namespace

MprisLink::MprisLink(std::string busName, std::string subject)
    : m_busName(std::move(busName))
    , m_subject(std::move(subject))
    , m_bus(mprisSessionBus())
{
    const QString name = QString::fromStdString(m_busName);
    m_bus.connect("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameOwnerChanged",
        QStringList{name}, QString(), this, SLOT(nameOwnerChanged(QString, QString, QString)));
    m_bus.connect(name, kMprisPath, kPropertiesInterface, "PropertiesChanged", this,
        SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    m_bus.connect(name, kMprisPath, kMprisPlayerInterface, "Seeked", this, SLOT(seeked(qlonglong)));
    for (const char* signal : {"TrackListReplaced", "TrackAdded", "TrackRemoved", "TrackMetadataChanged"})
        m_bus.connect(name, kMprisPath, kMprisTrackListInterface, signal, this, SLOT(trackListChanged(QDBusMessage)));
    // Only the bus is asked here: a player that hangs costs its wait in a
    // poll, where the rest of the poll then fails fast, not on top of it.
    askOwner();
}

MprisLink::~MprisLink() = default;

void MprisLink::catchUp()
{
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void MprisLink::askOwner()
{
    const QDBusMessage reply = busDaemonCall("GetNameOwner", {QString::fromStdString(m_busName)});
    const QString owner = reply.type() == QDBusMessage::ReplyMessage ? firstArgument(reply).toString() : QString();
    if (owner != m_owner)
        forget();
    m_owner = owner;
    m_ownerUnsure = false;
}

void MprisLink::forget()
{
    m_rootLoaded = m_playerLoaded = m_tracksLoaded = false;
    m_root.clear();
    m_player.clear();
    m_current = MprisTrack();
    m_tracks.clear();
    m_anchor.stale = true;
}

bool MprisLink::hasOwner()
{
    catchUp();
    return !m_owner.isEmpty();
}

void MprisLink::beginPoll()
{
    ++m_poll;
    m_stalled = false;
    catchUp();
    if (m_ownerUnsure)
        askOwner();
}

Error MprisLink::notRunning() const
{
    return Error{errc::AppNotRunning, m_subject + " isn't running."};
}

Error MprisLink::timedOut() const
{
    return Error{errc::Timeout, m_subject + " did not answer in time."};
}

QDBusMessage MprisLink::methodCall(const char* interface, const char* method) const
{
    return QDBusMessage::createMethodCall(QString::fromStdString(m_busName), kMprisPath, interface, method);
}

std::vector<QDBusMessage> MprisLink::exchange(const std::vector<QDBusMessage>& messages, std::optional<Error>& error)
{
    error.reset();
    if (!hasOwner()) {
        error = notRunning();
        return {};
    }
    if (m_stalled) {
        error = timedOut();
        return {};
    }
    std::vector<QDBusPendingCall> pending;
    for (const QDBusMessage& message : messages) {
        ++m_calls;
        pending.push_back(m_bus.asyncCall(message, kMprisCallTimeoutMs));
    }
    std::vector<QDBusMessage> replies;
    QString failure;
    QString refusal;
    for (QDBusPendingCall& call : pending) {
        call.waitForFinished();
        replies.push_back(call.reply());
        const QDBusMessage& reply = replies.back();
        if (reply.type() == QDBusMessage::ReplyMessage)
            continue;
        if (isTimeout(reply.errorName()) || isGone(reply.errorName()) || reply.type() != QDBusMessage::ErrorMessage)
            failure = reply.errorName();
        else if (refusal.isEmpty())
            refusal = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    }
    if (!failure.isEmpty()) {
        // The bus knows whether the player left (a player that quits while
        // a call is out answers it with NoReply too) or just did not answer.
        askOwner();
        if (m_owner.isEmpty() || isGone(failure)) {
            m_owner.clear();
            m_ownerUnsure = true;
            error = notRunning();
        } else {
            m_stalled = true;
            error = timedOut();
        }
        return {};
    }
    if (!refusal.isEmpty()) {
        error = Error{errc::CantSet, m_subject + " refused: " + refusal.toStdString()};
        return {};
    }
    return replies;
}

void MprisLink::rememberIdentity()
{
    const std::string identity = m_root.value("Identity").toString().toStdString();
    if (!identity.empty())
        m_identity = identity;
}

void MprisLink::applyPlayer(const QVariantMap& changed, const QStringList& invalidated)
{
    for (auto it = changed.begin(); it != changed.end(); ++it)
        m_player.insert(it.key(), it.key() == QLatin1String("Metadata") ? QVariant(variantMap(it.value())) : it.value());
    if (changed.contains("Metadata"))
        m_current = MprisTrack::fromMetadata(m_player.value("Metadata").toMap());
    // What moves the position without a Seeked calls for a new reading.
    for (const char* key : {"PlaybackStatus", "Metadata", "Rate", "Position"}) {
        if (changed.contains(key))
            m_anchor.stale = true;
    }
    if (!invalidated.isEmpty())
        m_playerLoaded = false;
}

std::optional<Error> MprisLink::load()
{
    catchUp();
    if (m_rootLoaded && m_playerLoaded)
        return std::nullopt;
    std::vector<QDBusMessage> messages;
    if (!m_rootLoaded)
        messages.push_back(methodCall(kPropertiesInterface, "GetAll") << QString(kMprisRootInterface));
    if (!m_playerLoaded)
        messages.push_back(methodCall(kPropertiesInterface, "GetAll") << QString(kMprisPlayerInterface));
    std::optional<Error> error;
    const std::vector<QDBusMessage> replies = exchange(messages, error);
    if (error)
        return error;
    std::size_t next = 0;
    if (!m_rootLoaded) {
        m_root = variantMap(firstArgument(replies[next++]));
        m_rootLoaded = true;
        rememberIdentity();
    }
    if (!m_playerLoaded) {
        m_player.clear();
        applyPlayer(variantMap(firstArgument(replies[next++])), {});
        m_current = MprisTrack::fromMetadata(m_player.value("Metadata").toMap());
        m_playerLoaded = true;
        m_anchor.stale = true;
    }
    return std::nullopt;
}

std::optional<Error> MprisLink::loadTrackList()
{
    if (auto error = load())
        return error;
    if (!m_root.value("HasTrackList").toBool())
        return Error{errc::CantGet, m_subject + " has no track list."};
    if (m_tracksLoaded)
        return std::nullopt;
    std::optional<Error> error;
    const auto listed = exchange({methodCall(kPropertiesInterface, "Get")
                                     << QString(kMprisTrackListInterface) << QString("Tracks")},
        error);
    if (error)
        return error;
    QList<QDBusObjectPath> ids;
    const QVariant tracks = qvariant_cast<QDBusVariant>(firstArgument(listed.front())).variant();
    if (tracks.userType() == qMetaTypeId<QDBusArgument>())
        ids = qdbus_cast<QList<QDBusObjectPath>>(tracks.value<QDBusArgument>());
    else
        ids = tracks.value<QList<QDBusObjectPath>>();

    m_tracks.clear();
    if (!ids.isEmpty()) {
        QDBusMessage ask = methodCall(kMprisTrackListInterface, "GetTracksMetadata");
        ask << QVariant::fromValue(ids);
        const auto described = exchange({ask}, error);
        if (error)
            return error;
        const QVariant list = firstArgument(described.front());
        QList<QVariantMap> metadata;
        if (list.userType() == qMetaTypeId<QDBusArgument>())
            metadata = qdbus_cast<QList<QVariantMap>>(list.value<QDBusArgument>());
        // Players answer in the order asked, but may leave out a track that
        // went meanwhile: match by id.
        for (const QDBusObjectPath& id : ids) {
            MprisTrack track;
            for (const QVariantMap& m : metadata) {
                const QVariant trackId = m.value("mpris:trackid");
                if (trackId.value<QDBusObjectPath>().path() == id.path() || trackId.toString() == id.path()) {
                    track = MprisTrack::fromMetadata(m);
                    break;
                }
            }
            track.trackId = id.path().toStdString();
            track.present = true;
            m_tracks.push_back(std::move(track));
        }
    }
    m_tracksLoaded = true;
    return std::nullopt;
}

script::Result<double> MprisLink::position()
{
    if (auto error = load())
        return *error;
    const double now = kit::Clock::current().now();
    const bool readThisPoll = m_anchorPoll == m_poll + 1;
    const bool expired = now < m_anchor.at || now - m_anchor.at > kAnchorLife;
    if (!readThisPoll && (m_anchor.stale || expired)) {
        std::optional<Error> error;
        const auto replies = exchange({methodCall(kPropertiesInterface, "Get")
                                          << QString(kMprisPlayerInterface) << QString("Position")},
            error);
        if (error)
            return *error;
        const QVariant value = qvariant_cast<QDBusVariant>(firstArgument(replies.front())).variant();
        m_anchor = Anchor{double(value.toLongLong()) / 1e6, now, false};
        m_anchorPoll = m_poll + 1;
    }
    double seconds = m_anchor.seconds;
    if (m_player.value("PlaybackStatus").toString() == QLatin1String("Playing")) {
        bool known = false;
        const double rate = m_player.value("Rate").toDouble(&known);
        seconds += (known ? rate : 1.0) * std::max(0.0, now - m_anchor.at);
    }
    seconds = std::max(0.0, seconds);
    if (m_current.duration > 0.0)
        seconds = std::min(seconds, m_current.duration);
    return seconds;
}

std::optional<Error> MprisLink::invoke(const char* interface, const char* method, const QVariantList& arguments)
{
    QDBusMessage message = methodCall(interface, method);
    message.setArguments(arguments);
    std::optional<Error> error;
    exchange({message}, error);
    if (error && error->number == errc::CantSet)
        error->number = errc::DoesNotUnderstand;
    // The player says what changed in a signal that may come later than a
    // script's next question; read it afresh instead.
    m_playerLoaded = false;
    m_tracksLoaded = false;
    m_anchor.stale = true;
    return error;
}

std::optional<Error> MprisLink::setProperty(const char* interface, const char* property, const QVariant& value)
{
    QDBusMessage message = methodCall(kPropertiesInterface, "Set");
    message << QString(interface) << QString(property) << QVariant::fromValue(QDBusVariant(value));
    std::optional<Error> error;
    exchange({message}, error);
    m_playerLoaded = false;
    return error;
}

bool MprisLink::activate(std::string& problem)
{
    problem.clear();
    if (hasOwner())
        return true;
    const QString name = QString::fromStdString(m_busName);
    const QDBusMessage activatable = busDaemonCall("ListActivatableNames", {});
    if (activatable.type() != QDBusMessage::ReplyMessage) {
        problem = "Cannot start " + fallbackIdentity(m_busName) + ": the session bus does not answer.";
        return false;
    }
    if (!firstArgument(activatable).toStringList().contains(name)) {
        problem = "Cannot start " + fallbackIdentity(m_busName) + ": no program is registered on the session bus to start "
            + m_busName + ". Start the player yourself.";
        return false;
    }
    // The bus starts the program; its name shows up through
    // NameOwnerChanged whether or not it is up within this wait.
    QDBusMessage start = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "StartServiceByName");
    start << name << 0u;
    QDBusPendingCall pending = m_bus.asyncCall(start, kMprisCallTimeoutMs);
    pending.waitForFinished();
    askOwner();
    return !m_owner.isEmpty();
}

void MprisLink::nameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (name.toStdString() != m_busName)
        return;
    if (newOwner != m_owner)
        forget();
    m_owner = newOwner;
    m_ownerUnsure = false;
}

void MprisLink::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface == QLatin1String(kMprisPlayerInterface)) {
        if (m_playerLoaded)
            applyPlayer(changed, invalidated);
    } else if (interface == QLatin1String(kMprisRootInterface)) {
        for (auto it = changed.begin(); it != changed.end(); ++it)
            m_root.insert(it.key(), it.value());
        if (!invalidated.isEmpty())
            m_rootLoaded = false;
        rememberIdentity();
    } else if (interface == QLatin1String(kMprisTrackListInterface)) {
        m_tracksLoaded = false;
    }
}

void MprisLink::seeked(qlonglong microseconds)
{
    m_anchor = Anchor{double(microseconds) / 1e6, kit::Clock::current().now(), false};
}

void MprisLink::trackListChanged(const QDBusMessage&)
{
    m_tracksLoaded = false;
}

} // namespace players
