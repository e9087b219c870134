#pragma once

#include "players/TrackPlayer.h"
#include "players/mpd/MpdConnection.h"
#include "players/mpd/MpdLauncher.h"
#include "players/mpd/MpdSong.h"
#include "players/mpd/MpdStatus.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace players {

// An MPD server as the scripts' player. Its object model is the built-in
// player's: the application (player state, player position, current track,
// current playlist), one playlist (MPD's queue: shuffle is `random`, song
// repeat is `repeat` with `single`) and its tracks (queue position + 1).
// A track's rating is its `rating` sticker, 0-10 scaled to 0-100.
//
// A poll reads the status and the current song once, in one command list
// that also asks again for what the last poll needed next (the following
// queue entry and the current song's rating); every script of the poll then
// answers from that snapshot. Commands and settings go straight to the
// server and make the next read fetch a new snapshot.
//
// A stopped server has no current track, as the built-in player has none
// when stopped, though MPD keeps its place in the queue.
//
// The server "runs" while it answers; one that wants a password it was not
// given (or not the one given) is there but turns Zintara away, which
// refusal() says. Quitting stops playback and leaves
// the server running, since it usually serves more than this program.
// Launching (from the workspace) starts the user's server:
// `systemctl --user start mpd` where such a unit exists, else `mpd` with
// the user's configuration; only for a server on this machine. When it
// cannot, launchProblem() says why.
// A track is held by its 0-based position in the queue.
class MpdPlayer : public TrackPlayer<std::int64_t> {
public:
    MpdPlayer(std::string scriptName, MpdAddress address,
              unsigned timeoutMs = MpdConnection::kDefaultTimeoutMs);

    std::string name() const override { return m_name; }
    std::string displayName() const override { return "MPD"; }
    // Asks the server (once per poll).
    bool isRunning() override;
    // The engine's launch before an event: only tries to reach the server
    // again, so a server that went away mid-poll is not restarted by a
    // script.
    void launch() override;
    bool launchApplication() override;
    std::string launchProblem() const override { return m_launchProblem; }
    // Set while the server turns Zintara away (a missing or wrong password).
    std::string refusal() const override { return m_refusal; }
    using Player::beginPoll;
    void beginPoll(const PollBudget& budget) override;
    // Replaces the current user's places where launching looks (tests).
    void setLauncher(MpdLauncher launcher) { m_launcher = std::move(launcher); }
    // Replaces the name service that finds the server's host (tests).
    void setResolver(MpdConnection::Resolver resolver) { m_connection.setResolver(std::move(resolver)); }

    // Exchanges with the server so far, the connection's greeting included.
    long roundTrips() const { return m_connection.roundTrips(); }

private:
    // Rating of one song: its value, or the error to report.
    using Rating = script::Result<std::int64_t>;

    // What a poll asks besides the status and current song: what the last
    // poll needed next, usually still the same.
    struct Guesses {
        std::int64_t position = -1; // a queue entry, or none
        std::string uri;            // the song whose rating, or ""
    };
    // The answers of a snapshot before the guesses': status, current song.
    static constexpr std::size_t kSnapshotParts = 2;

    // Reads the snapshot, once a poll: false when the server
    // cannot be read (m_refusal says when it turns Zintara away).
    bool refresh();
    Guesses takeGuesses();
    static std::vector<std::string> snapshotCommands(const Guesses& guesses);
    // Whether the server gave the snapshot; triages why not.
    bool snapshotRead(MpdConnection::Outcome outcome, const MpdAnswer& answer);
    void readSnapshot(const MpdAnswer& answer);
    // Keeps what the guesses brought, where it still applies.
    void keepGuesses(const Guesses& guesses, MpdConnection::Outcome outcome, const MpdAnswer& answer);
    script::Error failure(MpdConnection::Outcome outcome, const std::string& message, int number) const;
    // Why the snapshot could not be read, as an error of kind `number`.
    script::Error unread(int number) const;
    // Commands that answer only OK (a command list when more than one).
    script::Result<script::Value> simple(const std::vector<std::string>& commands, int errorNumber);

    // The snapshot of this poll, or why it cannot be read.
    std::optional<script::Error> unavailable(int number) override;
    script::Result<MpdSong> song(std::int64_t position);
    Rating rating(const MpdSong& song);

    std::string playlistName() const override;
    script::Result<std::optional<std::int64_t>> currentTrack() override;
    script::Result<std::size_t> trackCount() override { return m_status.queueLength; }
    script::Result<std::int64_t> trackAt(std::size_t place) override { return std::int64_t(place) - 1; }
    script::Result<std::optional<std::int64_t>> trackNamed(const std::string& name) override;
    std::optional<std::int64_t> placeOf(const std::int64_t& position) const override { return position + 1; }

    script::Result<PlayerState> playerState() override;
    script::Result<double> playerPosition() override { return m_status.elapsed; }
    script::Result<PlaylistState> playlistState() override;
    script::Result<objects::TrackFields> trackFields(const std::int64_t& position) override;
    script::Result<std::int64_t> trackRating(const std::int64_t& position) override;

    script::Result<script::Value> setPlayerPosition(double seconds) override;
    script::Result<script::Value> setShuffle(bool shuffle) override;
    script::Result<script::Value> setSongRepeat(SongRepeat repeat) override;
    script::Result<script::Value> setRating(const std::int64_t& position, double rating) override;

    script::Result<script::Value> launchCommand() override;
    // Stops playback: the server usually serves more than this program.
    script::Result<script::Value> quit() override;
    script::Result<script::Value> play(const std::int64_t* position) override;
    script::Result<script::Value> transport(Transport command) override;
    void invalidate() { m_fresh = false; }

    std::string m_name;
    MpdConnection m_connection;
    std::optional<MpdLauncher> m_launcher;
    std::string m_launchProblem;
    std::string m_refusal;

    // This poll's snapshot.
    bool m_fresh = false;
    MpdStatus m_status;
    std::optional<MpdSong> m_current;
    std::map<std::string, Rating> m_ratings; // by URI, this poll only
    // Queue entries by position, valid while the queue version holds.
    std::map<std::int64_t, MpdSong> m_queue;
    unsigned m_queueVersion = 0;
    // What the last poll read besides the snapshot, asked again with it.
    std::optional<std::int64_t> m_wantedPosition;
    std::optional<std::string> m_wantedRating;
};

} // namespace players
