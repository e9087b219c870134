#include "zintara/ScriptTable.h"

#include "players/BuiltinPlayer.h"
#include "players/PlayerDirectory.h"
#include "script/Script.h"
#include "script/TextNumbers.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using players::Library;
using players::PlayerState;
using players::SongRepeat;
using players::Track;

// The texts the player bridge must send, line for line.
const char* const kExpectedSources[zintara::kScriptSlotCount] = {
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
if player state is paused then
play
else
pause
end if
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return name of current track
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return artist of current track
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return album of current track
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
if player state is playing then
set myStr to "N"
else
set myStr to "Y"
end if
if shuffle of current playlist then
set myStr to myStr & "Y"
else
set myStr to myStr & "N"
end if
if song repeat of current playlist is all then
set myStr to myStr & "2"
else if song repeat of current playlist is one then
set myStr to myStr & "1"
else
set myStr to myStr & "0"
end if
return myStr
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
get name of track ((get index of current track) + 1) of current playlist
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return artist of track ((get index of current track) + 1) of current playlist
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return album of track ((get index of current track) + 1) of current playlist
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to track number of current track
set num2 to track count of current track
set myStr to "(" & num1 & " of " & num2 & ")"
return myStr
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to track number of track ((get index of current track) + 1) of current playlist
set num2 to track count of track ((get index of current track) + 1) of current playlist
set myStr to "(" & num1 & " of " & num2 & ")"
return myStr
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to duration of current track
set num2 to player position
set myNum to (num2 / num1)
return myNum
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
next track
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
previous track
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
quit
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set shuffle of current playlist to true
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set shuffle of current playlist to false
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set  song repeat of current playlist to off
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set  song repeat of current playlist to one
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set song repeat of current playlist to all
end tell
end if
end tell)src",
R"src(tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to rating of current track
return num1
end tell
end if
end tell)src",
};

const char* const kExpectedRatingSources[zintara::kRatingCount] = {
    R"src(tell application "itunes" to set rating of current track to 0)src",
    R"src(tell application "itunes" to set rating of current track to 20)src",
    R"src(tell application "itunes" to set rating of current track to 40)src",
    R"src(tell application "itunes" to set rating of current track to 60)src",
    R"src(tell application "itunes" to set rating of current track to 80)src",
    R"src(tell application "itunes" to set rating of current track to 100)src",
};

TEST(ScriptTable, SourcesAreExactTexts)
{
    for (int slot = 0; slot < zintara::kScriptSlotCount; ++slot)
        EXPECT_STREQ(zintara::kScriptSources[slot], kExpectedSources[slot]) << "slot " << slot;
    for (int tag = 0; tag < zintara::kRatingCount; ++tag)
        EXPECT_STREQ(zintara::kRatingSources[tag], kExpectedRatingSources[tag]) << "tag " << tag;
    // The quirks a tidy-minded edit would lose.
    EXPECT_NE(std::string(zintara::kScriptSources[16]).find("set  song repeat"), std::string::npos);
    EXPECT_NE(std::string(zintara::kScriptSources[14]).find("tell application\"iTunes\""), std::string::npos);
    EXPECT_EQ(std::string(zintara::kScriptSources[0]).back(), 'l');
}

// The table run against the built-in player, as the controller runs it: a
// result that is an error or no value is null, anything else its text.
class ScriptTableTest : public testing_support::KitTest {
protected:
    void TearDown() override
    {
        scripts.clear();
        directory.reset();
        KitTest::TearDown();
    }

    // Three tracks; by default the player runs and plays track 2, 50
    // seconds into its 200.
    static Library library()
    {
        Library lib;
        lib.running = true;
        lib.playerState = PlayerState::Playing;
        lib.currentTrack = 2;
        lib.playerPosition = 50;
        lib.tracks = {
            {"Morning Tide", "Ola Brandt", "Coastlines", 4, 12, 180, 20},
            {"Under Glass", "Ola Brandt", "Coastlines", 5, 12, 200, 80},
            {"Last Ferry", "Ines Varga", "Night Crossing", 1, 9, 240, 100},
        };
        return lib;
    }

    void start(Library lib = library())
    {
        scripts.clear();
        directory = std::make_unique<players::PlayerDirectory>();
        directory->setPlayer(std::make_unique<players::BuiltinPlayer>("iTunes", std::move(lib), 5));
        for (int slot = 0; slot < zintara::kScriptSlotCount; ++slot) {
            scripts.emplace_back(zintara::kScriptSources[slot], *directory);
            const auto error = scripts.back().compile();
            EXPECT_FALSE(error) << "slot " << slot << ": " << error->message << " at " << error->line << ":"
                                << error->column;
        }
    }

    players::VirtualPlayer& player()
    {
        return static_cast<players::BuiltinPlayer*>(directory->player())->player();
    }

    static std::optional<std::string> resultText(script::Script& script)
    {
        auto result = script.execute();
        if (!result.ok() || result.value().typeCode() == 0)
            return std::nullopt;
        return result.value().stringValue();
    }

    std::optional<std::string> run(int slot) { return resultText(scripts[std::size_t(slot)]); }

    std::optional<std::string> rate(int tag)
    {
        // Compiled afresh for each choice, as the rating menu does.
        script::Script script(zintara::kRatingSources[tag], *directory);
        return resultText(script);
    }

    std::unique_ptr<players::PlayerDirectory> directory;
    std::vector<script::Script> scripts;
};

TEST_F(ScriptTableTest, QuerySlotsWhilePlaying)
{
    start();
    EXPECT_EQ(run(1), "Under Glass");
    EXPECT_EQ(run(2), "Ola Brandt");
    EXPECT_EQ(run(3), "Coastlines");
    EXPECT_EQ(run(4), "NN0");
    EXPECT_EQ(run(5), "Last Ferry");
    EXPECT_EQ(run(6), "Ines Varga");
    EXPECT_EQ(run(7), "Night Crossing");
    EXPECT_EQ(run(8), "(5 of 12)");
    EXPECT_EQ(run(9), "(1 of 9)");
    EXPECT_EQ(script::intValue(run(19)), 80);
    EXPECT_FLOAT_EQ(script::floatValue(run(10)), 0.25f);

    clock.advance(50);
    EXPECT_FLOAT_EQ(script::floatValue(run(10)), 0.5f);
    clock.advance(110); // into track 3 by 10 seconds
    EXPECT_EQ(run(1), "Last Ferry");
    EXPECT_FLOAT_EQ(script::floatValue(run(10)), 10.0f / 240.0f);
}

TEST_F(ScriptTableTest, StateStringFollowsPlayerShuffleAndRepeat)
{
    Library lib = library();
    lib.playerState = PlayerState::Paused;
    lib.shuffle = true;
    lib.songRepeat = SongRepeat::All;
    start(lib);
    EXPECT_EQ(run(4), "YY2");
    player().setSongRepeat(SongRepeat::One);
    player().setShuffle(false);
    EXPECT_EQ(run(4), "YN1");
    // Paused, the position stands still.
    clock.advance(30);
    EXPECT_FLOAT_EQ(script::floatValue(run(10)), 0.25f);
}

TEST_F(ScriptTableTest, LastTrackHasNoNextTrack)
{
    Library lib = library();
    lib.currentTrack = 3;
    lib.playerPosition = 0;
    start(lib);
    EXPECT_EQ(run(1), "Last Ferry");
    EXPECT_EQ(run(8), "(1 of 9)");
    for (int slot : {5, 6, 7, 9})
        EXPECT_EQ(run(slot), std::nullopt) << "slot " << slot;
}

TEST_F(ScriptTableTest, StoppedPlayerHasNoCurrentTrack)
{
    Library lib = library();
    lib.playerState = PlayerState::Stopped;
    lib.currentTrack = 0;
    lib.playerPosition = 0;
    start(lib);
    for (int slot : {1, 2, 3, 5, 6, 7, 8, 9, 10, 19})
        EXPECT_EQ(run(slot), std::nullopt) << "slot " << slot;
    EXPECT_EQ(run(4), "YN0");
    EXPECT_EQ(script::intValue(run(19)), 0);
    EXPECT_EQ(script::floatValue(run(10)), 0.0f);
    // Slot 0 pauses a player that is not paused: nothing to pause.
    EXPECT_EQ(run(0), std::nullopt);
    EXPECT_EQ(player().playerState(), PlayerState::Stopped);
}

TEST_F(ScriptTableTest, TrackOfUnknownLengthGivesNoPosition)
{
    Library lib = library();
    lib.tracks[1].duration = 0;
    start(lib);
    EXPECT_EQ(run(10), std::nullopt); // the division fails
    EXPECT_EQ(run(1), "Under Glass");
}

TEST_F(ScriptTableTest, GuardKeepsEverySlotAwayFromAStoppedApplication)
{
    Library lib = library();
    lib.running = false;
    start(lib);
    for (int slot = 0; slot < zintara::kScriptSlotCount; ++slot) {
        EXPECT_EQ(run(slot), std::nullopt) << "slot " << slot;
        EXPECT_FALSE(player().isRunning()) << "slot " << slot << " launched the player";
    }
    EXPECT_FALSE(player().shuffle());
    EXPECT_EQ(player().songRepeat(), SongRepeat::Off);
    EXPECT_EQ(player().currentTrack(), 2u);
    EXPECT_DOUBLE_EQ(player().playerPosition(), 50.0);
}

TEST_F(ScriptTableTest, CommandSlotsDriveThePlayerAndReturnNothing)
{
    start();
    EXPECT_EQ(run(0), std::nullopt);
    EXPECT_EQ(player().playerState(), PlayerState::Paused);
    EXPECT_EQ(run(0), std::nullopt);
    EXPECT_EQ(player().playerState(), PlayerState::Playing);

    EXPECT_EQ(run(11), std::nullopt);
    EXPECT_EQ(run(1), "Last Ferry");
    EXPECT_EQ(run(12), std::nullopt); // within the first seconds: back one track
    EXPECT_EQ(run(1), "Under Glass");
    clock.advance(10);
    EXPECT_EQ(run(12), std::nullopt); // later: the same track from its start
    EXPECT_EQ(run(1), "Under Glass");
    EXPECT_EQ(script::floatValue(run(10)), 0.0f);

    const std::pair<int, const char*> settings[] = {
        {14, "NY0"}, {18, "NY2"}, {17, "NY1"}, {15, "NN1"}, {16, "NN0"},
    };
    for (const auto& [slot, state] : settings) {
        EXPECT_EQ(run(slot), std::nullopt) << "slot " << slot;
        EXPECT_EQ(run(4), state) << "after slot " << slot;
    }

    EXPECT_EQ(run(13), std::nullopt);
    EXPECT_FALSE(player().isRunning());
    EXPECT_EQ(run(4), std::nullopt);
}

TEST_F(ScriptTableTest, RatingScriptsSetWhatSlot19ReadsBack)
{
    start();
    for (int tag = 0; tag < zintara::kRatingCount; ++tag) {
        rate(tag);
        EXPECT_EQ(script::intValue(run(19)), tag * 20) << "tag " << tag;
    }
    // A rating belongs to its track.
    rate(3);
    run(11);
    EXPECT_EQ(script::intValue(run(19)), 100); // track 3's own
    run(12);
    EXPECT_EQ(script::intValue(run(19)), 60);
}

TEST_F(ScriptTableTest, RatingScriptLaunchesAStoppedApplication)
{
    Library lib = library();
    lib.running = false;
    lib.playerState = PlayerState::Stopped;
    lib.currentTrack = 0;
    lib.playerPosition = 0;
    start(lib);
    rate(2);
    ASSERT_TRUE(player().isRunning());
    EXPECT_EQ(player().playerState(), PlayerState::Playing);
    EXPECT_EQ(run(1), "Morning Tide");
    EXPECT_EQ(run(19), "40");

    // Running but with nothing current, the rating has nowhere to go.
    run(13);
    player().launch();
    player().stop();
    rate(5);
    EXPECT_EQ(run(19), std::nullopt);
    EXPECT_EQ(player().track(1).rating, 40);
}

} // namespace
