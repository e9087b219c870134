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

// What a reference to an MPRIS player's object resolved to. A track is kept
// as read then: the link may learn meanwhile that the player changed
// (another owner, a new list) and drop what it knew.
struct MprisTarget {
    enum class Kind { Application, Playlist, CurrentTrack, ListedTrack };
    Kind kind = Kind::Application;
    std::size_t place = 0; // 1-based place in the TrackList, for ListedTrack
    MprisTrack track;      // for CurrentTrack and ListedTrack
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
class MprisPlayer : public TrackPlayer<MprisTarget> {
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

    script::Result<script::Value> command(const std::string& term,
        const std::optional<script::ObjectSpecifier>& directObject) override;

private:
    using Target = MprisTarget;

    script::Result<Target> step(const Target& from, const script::Reference& ref) override;
    script::Result<script::Value> property(const Target& target, const std::string& term) override;
    script::Result<script::Value> setProperty(const Target& target, const std::string& term,
        const script::Value& value) override;
    script::Value objectValue(const Target& target) const override;
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
