// The MPRIS player against mpv with Debian's MPRIS plugin, playing the
// test audio: what a user with mpv sees.
#include "players/mpris/MprisFixture.h"

#include "players/PlayerFactory.h"
#include "tools/ScriptTool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

namespace mpris_testing {
namespace {

class MprisMpvTest : public MprisFixture {
protected:
    void SetUp() override
    {
        MprisFixture::SetUp();
        usePlayer(g_mprisWorld->mpvBusName());
    }

    // mpv acts on a command in its own time: wait, bounded, for the effect.
    bool eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 250; ++i) {
            player->beginPoll(testBudget());
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string currentName() { return text("name of current track"); }

    // Back to the first file, playing, however earlier tests left mpv.
    void rewind()
    {
        for (int i = 0; i < 5 && currentName() != "Alpha Song"; ++i) {
            const std::string before = currentName();
            text("previous track");
            eventually([&] { return currentName() != before; });
        }
        ASSERT_EQ(currentName(), "Alpha Song");
        text("play");
        ASSERT_TRUE(eventually([&] { return text("player state") == "playing"; }));
    }
};

TEST_F(MprisMpvTest, APollShowsWhatMpvPlays)
{
    rewind();
    EXPECT_EQ(player->displayName(), "mpv");
    const auto results = poll();
    ASSERT_EQ(results.size(), 11u);
    EXPECT_EQ(results[0], "0");         // no rating from mpv
    ASSERT_TRUE(results[1].has_value()); // position over duration
    const double fraction = std::stod(*results[1]);
    EXPECT_GE(fraction, 0.0);
    EXPECT_LT(fraction, 1.0);
    // Playing, no repeat; the plugin reports Shuffle as on whatever mpv does.
    ASSERT_TRUE(results[2].has_value());
    EXPECT_EQ(results[2]->front(), 'N');
    EXPECT_EQ(results[2]->back(), '0');
    EXPECT_EQ(results[3], "Alpha Song");
    EXPECT_EQ(results[4], "Test Artist");
    EXPECT_EQ(results[5], "Test Album");
    EXPECT_EQ(results[6], "(0 of 0)"); // the plugin sends no track numbers
    // mpv has no TrackList: the next track is an error, so no text.
    EXPECT_EQ(results[7], std::nullopt);
    EXPECT_EQ(results[10], std::nullopt);
    EXPECT_EQ(text("duration of current track"), "40.0");

    // Once the cache is filled a poll costs one call at most.
    const std::uint64_t calls = player->busCalls();
    poll();
    EXPECT_LE(player->busCalls(), calls + 1);
}

TEST_F(MprisMpvTest, TheMenuCommandsControlMpv)
{
    rewind();
    runSlot(0); // play/pause
    EXPECT_TRUE(eventually([&] { return text("player state") == "paused"; }));
    runSlot(0);
    EXPECT_TRUE(eventually([&] { return text("player state") == "playing"; }));

    runSlot(11); // next track
    EXPECT_TRUE(eventually([&] { return currentName() == "Beta Song"; })) << currentName();
    EXPECT_EQ(text("artist of current track"), "Other Artist");
    runSlot(11);
    EXPECT_TRUE(eventually([&] { return currentName() == "Gamma Song"; })) << currentName();
    runSlot(11);
    // An untagged file reads as its file name.
    EXPECT_TRUE(eventually([&] { return currentName() == "untagged take.flac"; })) << currentName();
    runSlot(12); // previous track
    EXPECT_TRUE(eventually([&] { return currentName() == "Gamma Song"; })) << currentName();

    // The plugin takes Shuffle but always reads it back as on.
    EXPECT_TRUE(run("tell application \"iTunes\" to set shuffle of current playlist to true").ok());
    EXPECT_TRUE(run("tell application \"iTunes\" to set shuffle of current playlist to false").ok());
    runSlot(17); // repeat one
    EXPECT_TRUE(eventually([&] { return text("song repeat of current playlist") == "one"; }));
    runSlot(18);
    EXPECT_TRUE(eventually([&] { return text("song repeat of current playlist") == "all"; }));
    runSlot(16);
    EXPECT_TRUE(eventually([&] { return text("song repeat of current playlist") == "off"; }));
}

TEST_F(MprisMpvTest, TheChoiceAndTheScriptToolFindMpv)
{
    rewind();
    players::PlayerOptions options;
    options.player = "mpris:mpv";
    auto made = players::PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::PlayerDirectory>>(made));
    EXPECT_EQ(std::get<0>(made)->player()->displayName(), "mpv");

    std::ostringstream out, err;
    std::istringstream in;
    const int status = tools::ScriptTool::run({"--player", "mpris:mpv",
        "-e", "tell application \"iTunes\" to get artist of current track",
        "-e", "tell application \"iTunes\" to get name of track 2 of current playlist"}, out, err, in);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out.str(), "Test Artist\n\n");
    EXPECT_NE(err.str().find("error -1728"), std::string::npos) << err.str();

    // Nothing chosen: the player that plays, not the first one on the bus
    // (a paused one, named to come before mpv), nor an MPD server.
    callService(startService({}, "aaazintarapaused"), "Pause");
    options.player = "auto";
    auto automatic = players::PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::PlayerDirectory>>(automatic));
    EXPECT_EQ(std::get<0>(automatic)->player()->displayName(), "mpv");
}

} // namespace
} // namespace mpris_testing
