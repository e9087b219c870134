#pragma once

#include "kit/Workspace.h"
#include "players/Library.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace players {

// A player without sound: a playlist, a current track and a position that
// moves with the kit's clock while it plays. Time is folded in lazily, on
// every query and command, so no timer is needed and a test's manual clock
// can skip an hour at once.
//
// It is a workspace application: it registers under its name while it
// lives, shows in the workspace's launched applications while it runs, and
// the workspace can launch it.
//
// Transport rules:
// - At the natural end of a track: repeat one plays it again; otherwise the
//   next track in play order follows, wrapping to the first with repeat all;
//   with repeat off the player stops after the last track (no current track).
// - `nextTrack` moves on even with repeat one (that rule is for the natural
//   end only); past the last track it wraps with repeat all and stops
//   otherwise. `previousTrack` more than kRestartThreshold seconds into a
//   track restarts it; sooner, it goes back one track (wrapping with repeat
//   all, restarting the first track otherwise). Both keep playing or paused.
// - Play order is the playlist order, or with shuffle on a permutation that
//   starts with the current track and then visits every other track once;
//   with repeat all the same permutation repeats.
// - A track of unknown length (duration 0) never ends on its own.
class VirtualPlayer : public kit::WorkspaceApplication {
public:
    static constexpr double kRestartThreshold = 3.0;

    VirtualPlayer(std::string name, Library library, std::uint32_t shuffleSeed);
    ~VirtualPlayer() override;
    VirtualPlayer(const VirtualPlayer&) = delete;
    VirtualPlayer& operator=(const VirtualPlayer&) = delete;

    // kit::WorkspaceApplication
    std::string applicationName() const override { return m_name; }
    bool isRunning() const override { return m_running; }
    // Runs and plays: the current track from where it stood, or else the
    // first track of the play order from its start.
    bool launch() override;
    // Stops running; the current track and position are kept (paused) for
    // the next launch.
    void quit();

    PlayerState playerState();
    double playerPosition();
    std::size_t currentTrack(); // 1-based; 0 for none
    // Moves within the current track (clamped to it); false without one.
    bool setPlayerPosition(double seconds);

    const std::string& playlistName() const { return m_lib.playlistName; }
    std::size_t trackCount() const { return m_lib.tracks.size(); }
    // 1-based; the index must be valid.
    const Track& track(std::size_t index) const { return m_lib.tracks[index - 1]; }
    Track& track(std::size_t index) { return m_lib.tracks[index - 1]; }
    // Clamps to 0..100.
    void setRating(std::size_t index, std::int64_t rating);

    bool shuffle() const { return m_lib.shuffle; }
    void setShuffle(bool on);
    SongRepeat songRepeat() const { return m_lib.songRepeat; }
    void setSongRepeat(SongRepeat repeat);
    // Play order, 1-based track indices (tests and diagnostics).
    const std::vector<std::size_t>& playOrder() const { return m_order; }

    void play();
    void playTrack(std::size_t index);
    void pause();
    void playPause();
    void stop();
    void nextTrack();
    void previousTrack();

private:
    void settle();
    void advancePastEnd();
    void stopAtEnd();
    void restartClock();
    void buildOrder();
    std::size_t successor(std::size_t index) const;
    std::size_t predecessor(std::size_t index) const;

    std::string m_name;
    Library m_lib; // the live state: player state, current track, position, rules, tracks
    bool m_running = false;
    double m_since = 0.0; // clock time the position was last folded in, while playing
    std::vector<std::size_t> m_order;
    std::vector<std::size_t> m_place; // m_place[index - 1]: the index's place in m_order
    std::mt19937 m_random;
};

} // namespace players
