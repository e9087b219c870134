#pragma once

#include "players/mpris/MprisBus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace players {

// The media players on the session bus, kept up to date by the bus's own
// signals: NameOwnerChanged for players coming and going, PropertiesChanged
// for their Identity and PlaybackStatus. Only a player not yet known (or
// one that did not answer before) is asked, so listing the players at every
// poll costs no calls while nothing changes. A player that did not answer
// stays suspect by its well-known name, so one that keeps taking its name
// anew is not waited for each time.
class MprisDirectory : public QObject {
    Q_OBJECT

public:
    static MprisDirectory& shared();

    std::vector<MprisPeer> players(const std::optional<PollBudget>& budget = std::nullopt);

    // Calls sent so far (for measurement).
    std::uint64_t calls() const { return m_calls; }

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated,
        const QDBusMessage& message);

private:
    struct Known {
        QString owner;      // unique name
        QString identity;   // "" until the player said
        QString status;     // "" until the player said
        bool complete = false;
    };
    struct Asking {
        QDBusPendingCall owner;
        QDBusPendingCall identity;
        QDBusPendingCall status;
        PollBudget::Clock::time_point due; // when they time out
    };

    MprisDirectory();
    void catchUp();
    // Asks every incomplete player at once. A player asked for the first
    // time is waited for, a bounded time within the budget, so a new player
    // is listed with what it is; a suspect one is asked again without
    // waiting, and its answers are taken in at a later listing.
    void complete(const std::optional<PollBudget>& budget);

    QDBusConnection m_bus;
    bool m_listed = false;
    std::uint64_t m_calls = 0;
    std::map<QString, Known> m_players; // by well-known name
    std::map<QString, Asking> m_asking;
    std::set<QString> m_suspects; // well-known names that did not answer when last asked
};

} // namespace players
