#pragma once

#include "players/mpris/MprisTrack.h"
#include "script/Error.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace players {

// The line to one MPRIS player on the session bus. It knows whether the
// bus name has an owner from NameOwnerChanged, keeps the player's
// properties as PropertiesChanged reports them, and reads from the player
// only what it does not know yet. Every call waits a bounded time; after a
// call timed out, the rest of the poll fails at once instead of waiting
// again.
//
// Signals arrive through Qt's event loop. Before answering from its cache
// the link takes in what the bus has delivered for it so far, so a host
// that runs no loop between scripts still reads current values.
class MprisLink : public QObject {
    Q_OBJECT

public:
    // `subject` names the player in error messages ("iTunes").
    MprisLink(std::string busName, std::string subject);
    ~MprisLink() override;

    const std::string& busName() const { return m_busName; }

    bool hasOwner();
    // A new poll: a player that did not answer is tried again.
    void beginPoll();

    // Root and player properties, read with GetAll where not cached.
    std::optional<script::Error> load();
    // The TrackList's tracks with their metadata, where not cached; an
    // error without a track list.
    std::optional<script::Error> loadTrackList();

    const QVariantMap& root() const { return m_root; }
    const QVariantMap& player() const { return m_player; }
    // Valid after load().
    const MprisTrack& current() const { return m_current; }
    // Valid after loadTrackList().
    const std::vector<MprisTrack>& tracks() const { return m_tracks; }

    // The play position in seconds: read at most once a poll, and in
    // between extrapolated from the last reading, Rate and Seeked.
    script::Result<double> position();

    // Calls a method of the player; state it changes is read afresh.
    std::optional<script::Error> invoke(const char* interface, const char* method, const QVariantList& arguments = {});
    std::optional<script::Error> setProperty(const char* interface, const char* property, const QVariant& value);

    // Starts the player by D-Bus activation; false, with a message a user
    // can read, when nothing is registered to start it.
    bool activate(std::string& problem);

    // The player's Identity, remembered after it leaves; empty if never known.
    const std::string& identity() const { return m_identity; }

    // Calls sent to the player so far (for measurement).
    std::uint64_t calls() const { return m_calls; }

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void seeked(qlonglong microseconds);
    void trackListChanged(const QDBusMessage& message);

private:
    struct Anchor {
        double seconds = 0.0; // position when read
        double at = 0.0;      // clock time of the reading
        bool stale = true;
    };

    void catchUp();
    void askOwner();
    void forget();
    void applyPlayer(const QVariantMap& changed, const QStringList& invalidated);
    void rememberIdentity();
    script::Error notRunning() const;
    script::Error timedOut() const;
    // Sends the messages at once and waits for all; on failure the replies
    // are empty and the error says why.
    std::vector<QDBusMessage> exchange(const std::vector<QDBusMessage>& messages, std::optional<script::Error>& error);
    QDBusMessage methodCall(const char* interface, const char* method) const;

    std::string m_busName;
    std::string m_subject;
    std::string m_identity;
    QDBusConnection m_bus;
    QString m_owner;
    bool m_ownerUnsure = false; // owner given up on after a failed call
    bool m_stalled = false;     // a call timed out during this poll
    std::uint64_t m_poll = 0;
    std::uint64_t m_calls = 0;

    bool m_rootLoaded = false;
    bool m_playerLoaded = false;
    bool m_tracksLoaded = false;
    QVariantMap m_root;
    QVariantMap m_player;
    MprisTrack m_current;
    std::vector<MprisTrack> m_tracks;
    Anchor m_anchor;
    std::uint64_t m_anchorPoll = 0; // the poll of the last reading, plus one
};

} // namespace players
