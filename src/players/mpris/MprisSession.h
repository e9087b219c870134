#pragma once

#include "players/PollBudget.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <optional>
#include <string>

namespace players {

// How long one call to a player, or to the bus about a player, may take.
// A player that does not answer within it is given up on until the next
// poll. QtDBus's timers are coarse and a busy machine adds to them, so
// this stays well under the quarter second a poll may block.
inline constexpr int kMprisCallTimeoutMs = 150;

// The bound of the next call within a poll's budget: 0 once it is spent.
inline int mprisCallTimeout(const std::optional<PollBudget>& budget)
{
    if (!budget)
        return kMprisCallTimeoutMs;
    return int(std::min<std::chrono::milliseconds::rep>(kMprisCallTimeoutMs, budget->remaining().count()));
}

inline constexpr char kMprisPrefix[] = "org.mpris.MediaPlayer2.";
inline constexpr char kMprisPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisRootInterface[] = "org.mpris.MediaPlayer2";
inline constexpr char kMprisPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
inline constexpr char kMprisTrackListInterface[] = "org.mpris.MediaPlayer2.TrackList";
inline constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";

// The session bus, for the MPRIS players. QtDBus delivers signals through
// the host's Qt application (a command-line host makes a
// kit::CommandLineHost); without one, a bus that is not connected.
QDBusConnection mprisSessionBus();

// A call to the bus daemon itself, bounded like every other call.
QDBusMessage busDaemonCall(const QString& method, const QVariantList& arguments, int timeoutMs = kMprisCallTimeoutMs);

// What a user reads for a player whose Identity is unknown: the bus name
// without the MPRIS prefix and without an instance suffix ("vlc" for
// org.mpris.MediaPlayer2.vlc.instance1234).
std::string fallbackIdentity(const std::string& busName);

// The bus name without the MPRIS prefix; any other name as it is.
std::string withoutMprisPrefix(const std::string& busName);

} // namespace players
