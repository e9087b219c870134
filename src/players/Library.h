#pragma once

#include "players/Track.h"

#include <cstddef>
#include <string>
#include <vector>

namespace players {

enum class PlayerState { Stopped, Playing, Paused };
enum class SongRepeat { Off, One, All };

// What the built-in player starts from: its playlist and the state it is in.
// A library is consistent: a playing or paused player has a current track,
// a stopped one has none, and the position lies within the current track.
struct Library {
    std::string playlistName = "Library";
    bool running = false;
    PlayerState playerState = PlayerState::Stopped;
    std::size_t currentTrack = 0; // 1-based; 0 for none
    double playerPosition = 0.0;  // seconds into the current track
    bool shuffle = false;
    SongRepeat songRepeat = SongRepeat::Off;
    std::vector<Track> tracks;
};

} // namespace players
