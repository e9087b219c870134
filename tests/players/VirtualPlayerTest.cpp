#include "players/VirtualPlayer.h"

#include "kit/Workspace.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace players {
namespace {

bool workspaceLists(const std::string& name)
{
    for (const auto& info : kit::Workspace::sharedWorkspace().launchedApplications()) {
        if (info.at("NSApplicationName") == name)
            return true;
    }
    return false;
}

class VirtualPlayerTest : public testing_support::KitTest {
protected:
    // Four tracks of 100, 200, 300 and 400 seconds.
    static Library fourTracks()
    {
        Library lib;
        for (int i = 1; i <= 4; ++i)
            lib.tracks.push_back(Track{"T" + std::to_string(i), "A", "B", i, 4, 100.0 * i, 0});
        return lib;
    }

    VirtualPlayer& start(Library lib = fourTracks(), std::uint32_t seed = 7)
    {
        player = std::make_unique<VirtualPlayer>("iTunes", std::move(lib), seed);
        player->launch();
        return *player;
    }

    void expectAt(std::size_t track, double position)
    {
        EXPECT_EQ(player->currentTrack(), track);
        EXPECT_NEAR(player->playerPosition(), position, 1e-9);
    }

    std::unique_ptr<VirtualPlayer> player;
};

TEST_F(VirtualPlayerTest, LaunchPlaysFirstTrackAndShowsInWorkspace)
{
    player = std::make_unique<VirtualPlayer>("iTunes", fourTracks(), 1);
    EXPECT_FALSE(player->isRunning());
    EXPECT_FALSE(workspaceLists("iTunes"));

    EXPECT_TRUE(kit::Workspace::sharedWorkspace().launchApplication("iTunes"));
    EXPECT_TRUE(player->isRunning());
    EXPECT_TRUE(workspaceLists("iTunes"));
    EXPECT_EQ(player->playerState(), PlayerState::Playing);
    expectAt(1, 0.0);

    player->quit();
    EXPECT_FALSE(workspaceLists("iTunes"));
    player.reset();
    EXPECT_EQ(kit::Workspace::sharedWorkspace().application("iTunes"), nullptr);
}

TEST_F(VirtualPlayerTest, PositionMovesWithTheClockOnlyWhilePlaying)
{
    start();
    clock.advance(10);
    expectAt(1, 10);
    player->pause();
    clock.advance(50);
    expectAt(1, 10);
    player->play();
    clock.advance(5);
    expectAt(1, 15);

    // A quit player keeps its place and resumes it on launch.
    player->quit();
    clock.advance(1000);
    player->launch();
    EXPECT_EQ(player->playerState(), PlayerState::Playing);
    expectAt(1, 15);
}

TEST_F(VirtualPlayerTest, NaturalEndFollowsSongRepeat)
{
    start();
    // Off: on to the next track, carrying the overshoot, and stop after the last.
    clock.advance(130);
    expectAt(2, 30);
    clock.advance(170 + 300 + 399);
    expectAt(4, 399);
    clock.advance(1);
    EXPECT_EQ(player->playerState(), PlayerState::Stopped);
    expectAt(0, 0);

    // One: the same track again.
    player->play();
    player->setSongRepeat(SongRepeat::One);
    clock.advance(250);
    expectAt(1, 50);

    // All: past the last track back to the first.
    player->setSongRepeat(SongRepeat::All);
    player->playTrack(4);
    clock.advance(420);
    expectAt(1, 20);
}

TEST_F(VirtualPlayerTest, LongAbsenceWithRepeatAllLandsWhereContinuousPlayWould)
{
    start().setSongRepeat(SongRepeat::All);
    // The four tracks make a 1000-second cycle.
    clock.advance(1000.0 * 1e9 + 350);
    expectAt(3, 50);
}

TEST_F(VirtualPlayerTest, RuleChangesApplyOnlyFromTheirMoment)
{
    start();
    clock.advance(90);
    EXPECT_EQ(player->currentTrack(), 1u);
    clock.advance(30); // unobserved: the end of track 1 falls under repeat off
    player->setSongRepeat(SongRepeat::One);
    expectAt(2, 20);
}

TEST_F(VirtualPlayerTest, TrackOfUnknownLengthNeverEnds)
{
    Library lib = fourTracks();
    lib.tracks[0].duration = 0;
    start(std::move(lib));
    clock.advance(1e6);
    expectAt(1, 1e6);
}

TEST_F(VirtualPlayerTest, NextTrackMovesOnKeepsPauseAndStopsPastTheEnd)
{
    start();
    clock.advance(40);
    player->pause();
    player->nextTrack();
    expectAt(2, 0);
    EXPECT_EQ(player->playerState(), PlayerState::Paused);

    // Repeat one governs the natural end only.
    player->setSongRepeat(SongRepeat::One);
    player->nextTrack();
    expectAt(3, 0);

    player->setSongRepeat(SongRepeat::All);
    player->playTrack(4);
    player->nextTrack();
    expectAt(1, 0);

    player->setSongRepeat(SongRepeat::Off);
    player->playTrack(4);
    player->nextTrack();
    EXPECT_EQ(player->playerState(), PlayerState::Stopped);
    expectAt(0, 0);
    player->nextTrack(); // nothing to move from
    EXPECT_EQ(player->playerState(), PlayerState::Stopped);
}

TEST_F(VirtualPlayerTest, PreviousTrackRestartsAfterAFewSecondsElseGoesBack)
{
    start();
    player->playTrack(3);
    clock.advance(VirtualPlayer::kRestartThreshold + 0.5);
    player->previousTrack();
    expectAt(3, 0);
    clock.advance(1);
    player->previousTrack();
    expectAt(2, 0);

    player->playTrack(1);
    player->previousTrack();
    expectAt(1, 0); // repeat off: the first track restarts
    player->setSongRepeat(SongRepeat::All);
    player->previousTrack();
    expectAt(4, 0);
    EXPECT_EQ(player->playerState(), PlayerState::Playing);
}

TEST_F(VirtualPlayerTest, ShuffleKeepsTheCurrentTrackAndVisitsEveryTrackOnce)
{
    Library lib;
    for (int i = 1; i <= 8; ++i)
        lib.tracks.push_back(Track{"T" + std::to_string(i), "", "", i, 8, 60.0, 0});
    start(std::move(lib), 12345);
    player->playTrack(5);
    clock.advance(10);
    player->setShuffle(true);
    expectAt(5, 10);
    EXPECT_EQ(player->playOrder().front(), 5u);

    std::vector<std::size_t> visited{5};
    for (int i = 0; i < 7; ++i) {
        player->nextTrack();
        visited.push_back(player->currentTrack());
    }
    EXPECT_EQ(visited, player->playOrder());
    EXPECT_EQ(std::set<std::size_t>(visited.begin(), visited.end()).size(), 8u);
    std::vector<std::size_t> identity{1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(visited, identity); // 1 chance in 5040 for a fair shuffle; the seed is fixed

    // Repeat all replays the same order; natural ends follow it too.
    player->setSongRepeat(SongRepeat::All);
    player->nextTrack();
    EXPECT_EQ(player->currentTrack(), 5u);
    clock.advance(60);
    EXPECT_EQ(player->currentTrack(), visited[1]);

    const std::size_t current = player->currentTrack();
    player->setShuffle(false);
    EXPECT_EQ(player->playOrder(), identity);
    EXPECT_EQ(player->currentTrack(), current);
}

TEST_F(VirtualPlayerTest, StopPlayAndPositionChanges)
{
    start();
    player->playTrack(2);
    player->stop();
    EXPECT_EQ(player->playerState(), PlayerState::Stopped);
    EXPECT_FALSE(player->setPlayerPosition(10));
    player->play(); // from the top of the play order
    expectAt(1, 0);

    EXPECT_TRUE(player->setPlayerPosition(-5));
    expectAt(1, 0);
    EXPECT_TRUE(player->setPlayerPosition(99));
    clock.advance(2);
    expectAt(2, 1);

    player->setRating(2, 250);
    EXPECT_EQ(player->track(2).rating, 100);
    player->setRating(2, -3);
    EXPECT_EQ(player->track(2).rating, 0);
}

} // namespace
} // namespace players
