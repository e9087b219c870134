#pragma once

#include "players/Library.h"
#include "players/VirtualPlayer.h"
#include "players/TrackPlayer.h"

#include <cstdint>
#include <string>

namespace players {

// An object of the built-in player's model: the application, the playlist or
// a track.
struct BuiltinTarget {
    enum class Kind { Application, Playlist, Track };
    Kind kind = Kind::Application;
    std::size_t track = 0; // 1-based, for Kind::Track
};

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
class BuiltinPlayer : public TrackPlayer<BuiltinTarget> {
public:
    BuiltinPlayer(std::string name, Library library, std::uint32_t shuffleSeed);

    VirtualPlayer& player() { return m_player; }

    std::string name() const override { return m_player.applicationName(); }
    bool isRunning() override { return m_player.isRunning(); }
    void launch() override { m_player.launch(); }
    // The virtual player is a workspace application of its own.
    bool registersWithWorkspace() const override { return true; }

    script::Result<script::Value> command(const std::string& term,
        const std::optional<script::ObjectSpecifier>& directObject) override;

private:
    using Target = BuiltinTarget;

    script::Result<Target> step(const Target& from, const script::Reference& ref) override;
    script::Result<script::Value> property(const Target& target, const std::string& term) override;
    script::Result<script::Value> setProperty(const Target& target, const std::string& term,
        const script::Value& value) override;
    script::Value objectValue(const Target& target) const override;

    VirtualPlayer m_player;
};

} // namespace players
