#pragma once

#include "players/TrackPlayer.h"
#include "players/mpris/MprisTrack.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace players {

class MprisLink;
struct MprisFault;

// A track of an MPRIS player as a script found it, kept as read then: the
// link may learn meanwhile that the player changed (another owner, a new
// list) and drop what it knew.
struct MprisTrackRef {
    std::size_t place = 0; // 1-based place in the TrackList; 0 for the current track
    MprisTrack track;
};

// A media player on the session bus (MPRIS 2.2) as the scripts' player.
// The object model is the built-in player's:
//
//   application: name, player state (PlaybackStatus), player position
//     (Position, settable through SetPosition), current track (Metadata;
//     an error without one), current playlist
//   playlist: shuffle (Shuffle), song repeat (LoopStatus None | Track |
//     Playlist as off | one | all), both settable where the player lets
//     them be; tracks by index or name through the TrackList interface,
//     an error for a player without one
//   track: name (xesam:title, else the file name of xesam:url), artist
//     (xesam:artist joined with ", "), album, track number (0 when
//     absent), track count (always 0), duration (mpris:length in seconds),
//     rating (xesam:userRating as 0..100; MPRIS has no way to set it),
//     index (its place in the TrackList)
//
// Commands: play (a TrackList track through GoTo), pause, playpause, stop,
// next track, previous track, quit (when CanQuit), and launch / activate
// (D-Bus activation where the bus can start the player).
//
// "Running" means the bus name has an owner. A call that times out makes
// the rest of the poll fail at once; a player that leaves makes the rest
// fail as not running.
// A call the player refuses fails what the script asked, in the player's
// words; a setting it refuses reads as one that cannot be set.
class MprisPlayer : public TrackPlayer<MprisTrackRef> {
public:
    // `scriptName` is the name the scripts use ("iTunes"); `busName` the
    // player's full bus name, org.mpris.MediaPlayer2.NAME.
    MprisPlayer(std::string scriptName, std::string busName);
    ~MprisPlayer() override;

    // The player for the choice "mpris:NAME" (`name` is NAME, or a full bus
    // name) or, with an empty name, the first player on the bus now. A
    // message for the user when the name is malformed or the bus has none.
    static std::variant<std::unique_ptr<MprisPlayer>, std::string> choose(
        const std::string& scriptName, const std::string& name);
    // For a non-empty NAME of "mpris:NAME": the message choose() gives
    // when it is no bus name, else nullopt.
    static std::optional<std::string> checkName(const std::string& name);

    const std::string& busName() const;
    // The player's Identity; while that was never known, its bus name's
    // last part ("vlc").
    std::string displayName() const override;
    using Player::beginPoll;
    void beginPoll(const PollBudget& budget) override;

    // Why the last launch did not start the player ("" when it did).
    std::string launchProblem() const override { return m_launchProblem; }
    // Calls sent to the player so far, to measure what a poll costs.
    std::uint64_t busCalls() const;

    std::string name() const override { return m_scriptName; }
    bool isRunning() override;
    void launch() override;

private:
    std::string playlistName() const override { return displayName(); }
    script::Result<std::optional<MprisTrackRef>> currentTrack() override;
    script::Result<std::size_t> trackCount() override;
    script::Result<MprisTrackRef> trackAt(std::size_t place) override;
    script::Result<std::optional<MprisTrackRef>> trackNamed(const std::string& name) override;
    std::optional<std::int64_t> placeOf(const MprisTrackRef& track) const override;

    script::Result<PlayerState> playerState() override;
    script::Result<double> playerPosition() override;
    script::Result<PlaylistState> playlistState() override;
    script::Result<objects::TrackFields> trackFields(const MprisTrackRef& track) override;
    script::Result<std::int64_t> trackRating(const MprisTrackRef& track) override { return track.track.rating; }
    // The current track's place needs the track list.
    script::Result<std::int64_t> trackIndex(const MprisTrackRef& track) override;

    script::Result<script::Value> setPlayerPosition(double seconds) override;
    script::Result<script::Value> setShuffle(bool shuffle) override;
    script::Result<script::Value> setSongRepeat(SongRepeat repeat) override;
    // MPRIS offers no way to rate a track.
    script::Result<script::Value> setRating(const MprisTrackRef& track, double rating) override;

    script::Result<script::Value> quit() override;
    script::Result<script::Value> play(const MprisTrackRef* track) override;
    script::Result<script::Value> transport(Transport command) override;
    // A setting's and a command's outcome on the bus, for the script.
    script::Result<script::Value> applied(const std::optional<MprisFault>& fault) const;
    script::Result<script::Value> commanded(const std::optional<MprisFault>& fault) const;

    // A player that did not answer in time, or left, answers no question.
    bool decidesExistence(const script::Error& error) const override;
    // What a fault on the bus means to a script that asked for something
    // of kind `asked` (errc::CantGet, CantSet or DoesNotUnderstand).
    script::Error scriptError(const MprisFault& fault, int asked) const;

    std::string m_scriptName;
    std::unique_ptr<MprisLink> m_link;
    std::string m_launchProblem;
};

} // namespace players
