#pragma once

#include <string>
#include <vector>

namespace players {

// A media player on the session bus, as the player choice lists it.
struct MprisPeer {
    std::string busName;        // org.mpris.MediaPlayer2.NAME
    std::string identity;       // its Identity, or a name made from busName
    std::string playbackStatus; // "Playing", "Paused", "Stopped"; "" when it did not say
};

// The MPRIS players on the session bus now, ordered by bus name. Every
// player is asked at once and each answer is awaited for a bounded time,
// so a hung player costs one short wait; empty without a session bus.
std::vector<MprisPeer> listMprisPlayers();

} // namespace players
