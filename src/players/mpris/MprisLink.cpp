#include "players/mpris/MprisLink.h"

#include "kit/Clock.h"
#include "players/mpris/MprisMetadata.h"
#include "players/mpris/MprisSession.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <algorithm>

namespace players {

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

MprisLink::MprisLink(std::string busName)
    : m_busName(std::move(busName))
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

void MprisLink::signalled()
{
    if (!m_pollStarting && m_changeListener)
        m_changeListener();
}

void MprisLink::askOwner()
{
    // With the budget spent, the bus is asked at the next poll.
    const int timeout = mprisCallTimeout(m_budget);
    if (timeout <= 0) {
        m_ownerUnsure = true;
        return;
    }
    const QDBusMessage reply = busDaemonCall("GetNameOwner", {QString::fromStdString(m_busName)}, timeout);
    if (reply.type() != QDBusMessage::ReplyMessage && isTimeout(reply.errorName())) {
        // The bus did not say within what was left: the owner stays as it
        // was, to be asked again at the next poll.
        m_ownerUnsure = true;
        return;
    }
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
    m_trackIds.clear();
    m_trackPlaces.clear();
    m_described.clear();
    m_anchor.stale = true;
}

bool MprisLink::hasOwner()
{
    catchUp();
    return !m_owner.isEmpty();
}

void MprisLink::beginPoll(const PollBudget& budget)
{
    m_budget = budget;
    ++m_poll;
    m_stalled = false;
    // What comes in before the poll's first script is no news to it.
    m_pollStarting = true;
    catchUp();
    m_pollStarting = false;
    if (m_ownerUnsure)
        askOwner();
}

QDBusMessage MprisLink::methodCall(const char* interface, const char* method) const
{
    return QDBusMessage::createMethodCall(QString::fromStdString(m_busName), kMprisPath, interface, method);
}

std::vector<QDBusMessage> MprisLink::exchange(const std::vector<QDBusMessage>& messages, std::optional<MprisFault>& fault)
{
    fault.reset();
    // What the bus delivered is taken in before a call (load(), hasOwner()),
    // not here: a caller may hold what that would clear.
    if (m_owner.isEmpty()) {
        fault = MprisFault{MprisFault::Kind::Gone, {}};
        return {};
    }
    const int timeout = mprisCallTimeout(m_budget);
    if (m_stalled || timeout <= 0) {
        m_stalled = true;
        fault = MprisFault{MprisFault::Kind::Silent, {}};
        return {};
    }
    std::vector<QDBusPendingCall> pending;
    for (const QDBusMessage& message : messages) {
        ++m_calls;
        pending.push_back(m_bus.asyncCall(message, timeout));
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
            fault = MprisFault{MprisFault::Kind::Gone, {}};
        } else {
            m_stalled = true;
            fault = MprisFault{MprisFault::Kind::Silent, {}};
        }
        return {};
    }
    if (!refusal.isEmpty()) {
        fault = MprisFault{MprisFault::Kind::Refused, refusal.toStdString()};
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
        m_current = trackFromMetadata(m_player.value("Metadata").toMap());
    // What moves the position without a Seeked calls for a new reading.
    for (const char* key : {"PlaybackStatus", "Metadata", "Rate", "Position"}) {
        if (changed.contains(key))
            m_anchor.stale = true;
    }
    if (!invalidated.isEmpty())
        m_playerStale = true;
}

std::optional<MprisFault> MprisLink::load()
{
    catchUp();
    const bool askRoot = !m_rootLoaded;
    const bool askPlayer = !m_playerLoaded || (m_playerStale && m_playerPoll != m_poll);
    if (!askRoot && !askPlayer)
        return std::nullopt;
    std::vector<QDBusMessage> messages;
    if (askRoot)
        messages.push_back(methodCall(kPropertiesInterface, "GetAll") << QString(kMprisRootInterface));
    if (askPlayer)
        messages.push_back(methodCall(kPropertiesInterface, "GetAll") << QString(kMprisPlayerInterface));
    std::optional<MprisFault> fault;
    const std::vector<QDBusMessage> replies = exchange(messages, fault);
    if (fault)
        return fault;
    // Signals that came meanwhile are taken in at the next reading, in the
    // order sent, over this answer: one sent before it says what the
    // answer says, unless a later one said otherwise, so a half-known track
    // in the middle of a change of track gives way to its tags when they
    // are said.
    std::size_t next = 0;
    if (askRoot) {
        m_root = variantMap(firstArgument(replies[next++]));
        m_rootLoaded = true;
        rememberIdentity();
    }
    if (askPlayer) {
        m_player.clear();
        applyPlayer(variantMap(firstArgument(replies[next++])), {});
        m_current = trackFromMetadata(m_player.value("Metadata").toMap());
        m_playerLoaded = true;
        m_playerStale = false;
        m_playerPoll = m_poll;
        m_anchor.stale = true;
    }
    return std::nullopt;
}

std::optional<MprisFault> MprisLink::loadTrackList()
{
    if (auto fault = load())
        return fault;
    if (!m_root.value("HasTrackList").toBool())
        return MprisFault{MprisFault::Kind::Missing, {}};
    if (m_tracksLoaded)
        return std::nullopt;
    std::optional<MprisFault> fault;
    const auto listed = exchange({methodCall(kPropertiesInterface, "Get")
                                     << QString(kMprisTrackListInterface) << QString("Tracks")},
        fault);
    if (fault)
        return fault;
    QList<QDBusObjectPath> ids;
    const QVariant tracks = qvariant_cast<QDBusVariant>(firstArgument(listed.front())).variant();
    if (tracks.userType() == qMetaTypeId<QDBusArgument>())
        ids = qdbus_cast<QList<QDBusObjectPath>>(tracks.value<QDBusArgument>());
    else
        ids = tracks.value<QList<QDBusObjectPath>>();

    m_trackIds.clear();
    m_trackPlaces.clear();
    m_described.clear();
    m_trackIds.reserve(std::size_t(ids.size()));
    for (const QDBusObjectPath& id : ids) {
        m_trackIds.push_back(id.path().toStdString());
        m_trackPlaces.emplace(m_trackIds.back(), m_trackIds.size());
    }
    m_tracksLoaded = true;
    return std::nullopt;
}

std::optional<std::size_t> MprisLink::placeOf(const std::string& trackId) const
{
    const auto found = m_trackPlaces.find(trackId);
    return found == m_trackPlaces.end() ? std::nullopt : std::optional<std::size_t>(found->second);
}

std::optional<MprisFault> MprisLink::describe(const std::vector<std::string>& ids)
{
    QList<QDBusObjectPath> paths;
    for (const std::string& id : ids) {
        if (!m_described.count(id))
            paths << QDBusObjectPath(QString::fromStdString(id));
    }
    if (paths.isEmpty())
        return std::nullopt;
    QDBusMessage ask = methodCall(kMprisTrackListInterface, "GetTracksMetadata");
    ask << QVariant::fromValue(paths);
    std::optional<MprisFault> fault;
    const auto described = exchange({ask}, fault);
    if (fault)
        return fault;
    const QVariant list = firstArgument(described.front());
    QList<QVariantMap> metadata;
    if (list.userType() == qMetaTypeId<QDBusArgument>())
        metadata = qdbus_cast<QList<QVariantMap>>(list.value<QDBusArgument>());
    // Players answer in the order asked, but may leave out a track that
    // went meanwhile, or answer for others: matched by id, through an index
    // of the answer made once.
    std::unordered_map<std::string, MprisTrack> answered;
    for (const QVariantMap& m : metadata) {
        MprisTrack track = trackFromMetadata(m);
        answered.emplace(track.trackId, std::move(track));
    }
    for (const QDBusObjectPath& path : paths) {
        const std::string id = path.path().toStdString();
        const auto found = answered.find(id);
        MprisTrack track = found == answered.end() ? MprisTrack() : found->second;
        track.trackId = id;
        track.present = true;
        m_described[id] = std::move(track);
    }
    return std::nullopt;
}

MprisResult<MprisTrack> MprisLink::listedTrack(std::size_t place)
{
    if (!m_tracksLoaded || place < 1 || place > m_trackIds.size())
        return MprisFault{MprisFault::Kind::Missing, {}};
    // The one after it too, in the same call: it is the next track once
    // the player moves on.
    const std::string id = m_trackIds[place - 1];
    std::vector<std::string> ids{id};
    if (place < m_trackIds.size())
        ids.push_back(m_trackIds[place]);
    if (auto fault = describe(ids))
        return *fault;
    return m_described.at(id);
}

MprisResult<std::optional<std::size_t>> MprisLink::placeOfName(const std::string& name)
{
    if (!m_tracksLoaded)
        return MprisFault{MprisFault::Kind::Missing, {}};
    if (auto fault = describe(m_trackIds))
        return *fault;
    for (std::size_t i = 0; i < m_trackIds.size(); ++i) {
        if (m_described.at(m_trackIds[i]).name == name)
            return std::optional<std::size_t>(i + 1);
    }
    return std::optional<std::size_t>();
}

MprisResult<double> MprisLink::position()
{
    if (auto fault = load())
        return *fault;
    const double now = kit::Clock::current().now();
    const bool readThisPoll = m_anchorPoll == m_poll + 1;
    const bool expired = now < m_anchor.at || now - m_anchor.at > kAnchorLife;
    if (!readThisPoll && (m_anchor.stale || expired)) {
        std::optional<MprisFault> fault;
        const auto replies = exchange({methodCall(kPropertiesInterface, "Get")
                                          << QString(kMprisPlayerInterface) << QString("Position")},
            fault);
        if (fault)
            return *fault;
        const QVariant value = qvariant_cast<QDBusVariant>(firstArgument(replies.front())).variant();
        m_anchor = Anchor{double(value.toLongLong()) / 1e6, now, false};
        m_anchorPoll = m_poll + 1;
    }
    return playPosition(m_anchor.seconds, now - m_anchor.at,
        m_player.value("PlaybackStatus").toString() == QLatin1String("Playing"), m_player.value("Rate"),
        m_current.duration);
}

std::optional<MprisFault> MprisLink::invoke(const char* interface, const char* method, const QVariantList& arguments)
{
    QDBusMessage message = methodCall(interface, method);
    message.setArguments(arguments);
    std::optional<MprisFault> fault;
    exchange({message}, fault);
    // The player says what changed in a signal that may come later than a
    // script's next question; read it afresh instead.
    m_playerLoaded = false;
    m_tracksLoaded = false;
    m_anchor.stale = true;
    return fault;
}

std::optional<MprisFault> MprisLink::setProperty(const char* interface, const char* property, const QVariant& value)
{
    QDBusMessage message = methodCall(kPropertiesInterface, "Set");
    message << QString(interface) << QString(property) << QVariant::fromValue(QDBusVariant(value));
    std::optional<MprisFault> fault;
    exchange({message}, fault);
    m_playerLoaded = false;
    return fault;
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
    const bool other = newOwner != m_owner;
    if (other)
        forget();
    m_owner = newOwner;
    m_ownerUnsure = false;
    if (other)
        signalled();
}

void MprisLink::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface == QLatin1String(kMprisPlayerInterface)) {
        if (m_playerLoaded)
            applyPlayer(changed, invalidated);
        if (changed.contains("Metadata") || changed.contains("PlaybackStatus"))
            signalled();
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
