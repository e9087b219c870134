#pragma once

#include "players/PollBudget.h"
#include "players/mpris/MprisTrack.h"
#include "script/Error.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace players {

// Why a call to the player brought no answer. The link says only what
// happened on the bus; what that means to a script is the player's to say.
struct MprisFault {
    enum class Kind {
        Gone,    // the bus name has no owner, or lost it during the call
        Silent,  // the player did not answer in time
        Refused, // the player answered with an error of its own
        Missing, // the player has no such thing (no track list, no track there)
    };
    Kind kind;
    std::string words; // the player's own, for Refused
};

template <class T>
using MprisResult = script::Result<T, MprisFault>;

// The line to one MPRIS player on the session bus. It knows whether the
// bus name has an owner from NameOwnerChanged, keeps the player's
// properties as PropertiesChanged reports them, and reads from the player
// only what it does not know yet. Every call waits a bounded time, and all
// the calls of a poll together no longer than the poll's budget; after a
// call timed out, the rest of the poll fails at once instead of waiting
// again.
//
// Signals arrive through Qt's event loop. Before answering from its cache
// the link takes in what the bus has delivered for it so far, so a host
// that runs no loop between scripts still reads current values. It does so
// only at the start of load() and hasOwner(), never in the middle of a
// call, and hands out values, not references into what a signal may clear.
class MprisLink : public QObject {
    Q_OBJECT

public:
    explicit MprisLink(std::string busName);
    ~MprisLink() override;

    const std::string& busName() const { return m_busName; }

    bool hasOwner();
    // A new poll, whose calls all end by the budget's deadline: a player
    // that did not answer is tried again.
    void beginPoll(const PollBudget& budget);

    // Root and player properties, read with GetAll where not cached.
    std::optional<MprisFault> load();
    // The TrackList's track ids, where not cached; Missing without a
    // track list. A track's metadata is read only when it is asked for.
    std::optional<MprisFault> loadTrackList();

    QVariantMap root() const { return m_root; }
    QVariantMap player() const { return m_player; }
    // Valid after load().
    MprisTrack current() const { return m_current; }
    // Valid after loadTrackList(): the number of tracks, the place (1-based)
    // of a track id in the list.
    std::size_t trackCount() const { return m_trackIds.size(); }
    std::optional<std::size_t> placeOf(const std::string& trackId) const;
    // The track at a place (1-based), its metadata read if not yet known,
    // with the following track's.
    MprisResult<MprisTrack> listedTrack(std::size_t place);
    // The place of the first track of that name; every track's metadata is
    // read, once for the list, in one call.
    MprisResult<std::optional<std::size_t>> placeOfName(const std::string& name);

    // The play position in seconds: read at most once a poll, and in
    // between extrapolated from the last reading, Rate and Seeked.
    MprisResult<double> position();

    // Calls a method of the player; state it changes is read afresh.
    std::optional<MprisFault> invoke(const char* interface, const char* method, const QVariantList& arguments = {});
    std::optional<MprisFault> setProperty(const char* interface, const char* property, const QVariant& value);

    // Starts the player by D-Bus activation; false, with a message a user
    // can read, when nothing is registered to start it.
    bool activate(std::string& problem);

    // The player's Identity, remembered after it leaves; empty if never known.
    const std::string& identity() const { return m_identity; }

    // Called when a signal about the player's track, state or owner comes
    // in, through the event loop or in the middle of a poll (whose earlier
    // scripts read what was known before it), but not at a poll's start.
    // From inside a poll: the listener only schedules.
    void setChangeListener(std::function<void()> listener) { m_changeListener = std::move(listener); }

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
    // A signal came: the listener hears of it unless a poll is starting.
    void signalled();
    void askOwner();
    void forget();
    void applyPlayer(const QVariantMap& changed, const QStringList& invalidated);
    void rememberIdentity();
    // Sends the messages at once and waits for all, within the poll's
    // budget; on failure the replies are empty and `fault` says why.
    std::vector<QDBusMessage> exchange(const std::vector<QDBusMessage>& messages, std::optional<MprisFault>& fault);
    QDBusMessage methodCall(const char* interface, const char* method) const;
    // Reads the metadata of the listed tracks not yet described.
    std::optional<MprisFault> describe(const std::vector<std::string>& ids);

    std::string m_busName;
    std::string m_identity;
    QDBusConnection m_bus;
    QString m_owner;
    bool m_ownerUnsure = false; // owner given up on after a failed call
    bool m_stalled = false;     // a call timed out during this poll
    std::optional<PollBudget> m_budget; // this poll's; none before the first
    std::function<void()> m_changeListener;
    bool m_pollStarting = false;
    std::uint64_t m_poll = 0;
    std::uint64_t m_calls = 0;

    bool m_rootLoaded = false;
    bool m_playerLoaded = false;
    // The player invalidated properties: read again, but once a poll at
    // most, so a player that keeps invalidating does not cost every script
    // a call.
    bool m_playerStale = false;
    std::uint64_t m_playerPoll = 0; // the poll of the last reading
    bool m_tracksLoaded = false;
    QVariantMap m_root;
    QVariantMap m_player;
    MprisTrack m_current;
    std::vector<std::string> m_trackIds;
    std::unordered_map<std::string, std::size_t> m_trackPlaces; // id -> first place, 1-based
    std::unordered_map<std::string, MprisTrack> m_described;    // by id, for the list as it is
    Anchor m_anchor;
    std::uint64_t m_anchorPoll = 0; // the poll of the last reading, plus one
};

} // namespace players
