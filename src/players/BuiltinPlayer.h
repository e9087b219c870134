#pragma once

#include "players/Library.h"
#include "players/VirtualPlayer.h"
#include "players/TrackPlayer.h"

#include <cstdint>
#include <string>

namespace players {

// The virtual player as a scriptable application. Its object model:
//
//   application: name, player state (playing | paused | stopped),
//     player position (seconds, settable), current track, current playlist,
//     playlist elements (just one), track elements (those of the playlist)
//   playlist: name, index, shuffle (settable), song repeat (off | one | all,
//     settable), track elements by index (negative from the end) or name
//   track: name, artist, album (settable texts), track number, track count,
//     duration (seconds), rating (0..100, settable, clamped), index
//
// `current track` and `current playlist` resolve to object specifiers
// (`track 3 of playlist 1`, `playlist 1`); without a current track they are
// error -1728, as is a track index past either end.
// Commands: play (optionally a track), pause, playpause, stop, next track,
// previous track, quit, and launch / activate (which only start it).
// A track is held by its 1-based place in the playlist.
class BuiltinPlayer : public TrackPlayer<std::size_t> {
public:
    BuiltinPlayer(std::string name, Library library, std::uint32_t shuffleSeed);

    VirtualPlayer& player() { return m_player; }

    std::string name() const override { return m_player.applicationName(); }
    bool isRunning() override { return m_player.isRunning(); }
    void launch() override { m_player.launch(); }
    // The virtual player is a workspace application of its own.
    bool registersWithWorkspace() const override { return true; }

private:
    std::string playlistName() const override { return m_player.playlistName(); }
    script::Result<std::optional<std::size_t>> currentTrack() override;
    script::Result<std::size_t> trackCount() override { return m_player.trackCount(); }
    script::Result<std::size_t> trackAt(std::size_t place) override { return place; }
    script::Result<std::optional<std::size_t>> trackNamed(const std::string& name) override;
    std::optional<std::int64_t> placeOf(const std::size_t& track) const override { return std::int64_t(track); }

    script::Result<PlayerState> playerState() override { return m_player.playerState(); }
    script::Result<double> playerPosition() override { return m_player.playerPosition(); }
    script::Result<PlaylistState> playlistState() override;
    script::Result<objects::TrackFields> trackFields(const std::size_t& track) override;
    script::Result<std::int64_t> trackRating(const std::size_t& track) override;

    script::Result<script::Value> setPlayerPosition(double seconds) override;
    script::Result<script::Value> setShuffle(bool shuffle) override;
    script::Result<script::Value> setSongRepeat(SongRepeat repeat) override;
    script::Result<script::Value> setRating(const std::size_t& track, double rating) override;
    script::Result<script::Value> setTrackText(const std::size_t& track, const std::string& term,
        const script::Value& value) override;

    script::Result<script::Value> launchCommand() override;
    script::Result<script::Value> quit() override;
    script::Result<script::Value> play(const std::size_t* track) override;
    script::Result<script::Value> transport(Transport command) override;

    VirtualPlayer m_player;
};

} // namespace players
