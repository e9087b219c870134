#include "players/AutoPlayer.h"
#include "players/BuiltinPlayer.h"
#include "players/DemoLibrary.h"
#include "players/PlayerDirectory.h"
#include "players/PlayerFactory.h"
#include "players/mpd/MpdPlayer.h"

#include "kit/Workspace.h"
#include "script/Script.h"
#include "support/MpdServer.h"
#include "support/TestEnvironment.h"

#include <mpd/client.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace players {
namespace {

using script::Value;

// A media player on the bus, as far as the choice is concerned.
class FakeBusPlayer : public Player {
public:
    FakeBusPlayer(std::string identity, int* polls) : m_identity(std::move(identity)), m_polls(polls) {}
    std::string name() const override { return "iTunes"; }
    std::string displayName() const override { return m_identity; }
    const script::Dictionary& dictionary() const override
    {
        static const script::Dictionary d{{"name"}, {}, {}, {}};
        return d;
    }
    bool isRunning() override { return true; }
    void launch() override {}
    std::string launchProblem() const override { return "nothing starts " + m_identity; }
    using Player::beginPoll;
    void beginPoll(const players::PollBudget&) override { ++*m_polls; }
    script::Result<Value> get(const script::ObjectSpecifier&) override { return Value::text(m_identity); }
    script::Result<Value> set(const script::ObjectSpecifier&, const Value&) override { return Value(); }
    script::Result<bool> exists(const script::ObjectSpecifier&) override { return true; }
    script::Result<Value> command(const std::string&, const std::optional<script::ObjectSpecifier>&) override
    {
        return Value();
    }
    // The player says by itself that it plays something else.
    void announce() { changed(); }

private:
    std::string m_identity;
    int* m_polls;
};

class AutoPlayerTest : public testing_support::KitTest {
protected:
    void install(const std::string& mpdAddress)
    {
        auto builtin = std::make_unique<BuiltinPlayer>("iTunes", demoLibrary(), 1);
        kit::WorkspaceApplication* entry = &builtin->player();
        AutoPlayer::Sources sources;
        sources.listBusPlayers = [this](const players::PollBudget&) { return bus; };
        sources.makeBusPlayer = [this](const std::string& busName) -> std::unique_ptr<Player> {
            ++made;
            auto fake = std::make_unique<FakeBusPlayer>(busName.substr(busName.rfind('.') + 1), &busPolls);
            fakes[busName] = fake.get();
            return fake;
        };
        auto owned = std::make_unique<AutoPlayer>(
            "iTunes", std::make_unique<MpdPlayer>("iTunes", MpdAddress::parse(mpdAddress).value(), 3000),
            std::move(builtin), std::move(sources), entry);
        player = owned.get();
        directory.setPlayer(std::move(owned));
    }

    std::string poll()
    {
        player->beginPoll();
        return player->displayName();
    }

    bool processExists()
    {
        script::Script s("tell application \"System Events\" to exists process \"iTunes\"", directory);
        auto r = s.execute();
        return r && r.value() == Value::boolean(true);
    }

    std::vector<AutoPlayer::BusPlayer> bus;
    int made = 0;
    int busPolls = 0;
    std::map<std::string, FakeBusPlayer*> fakes; // by bus name, as made
    PlayerDirectory directory;
    AutoPlayer* player = nullptr;
};

TEST_F(AutoPlayerTest, PlayingBusPlayerThenFirstBusPlayerThenBuiltin)
{
    install("127.0.0.1:" + std::to_string(testing_support::freeLocalPort())); // no MPD there
    bus = {{"org.mpris.MediaPlayer2.alpha", false}, {"org.mpris.MediaPlayer2.beta", true}};
    EXPECT_EQ(poll(), "beta");
    EXPECT_EQ(busPolls, 1);
    EXPECT_TRUE(processExists());

    bus[1].playing = false;
    EXPECT_EQ(poll(), "alpha");
    EXPECT_EQ(poll(), "alpha");
    EXPECT_EQ(made, 2); // each bus player is made once and kept while it stays

    // The host hears the news of the followed player only.
    int news = 0;
    player->setChangeListener([&] { ++news; });
    fakes.at("org.mpris.MediaPlayer2.beta")->announce();
    EXPECT_EQ(news, 0);
    fakes.at("org.mpris.MediaPlayer2.alpha")->announce();
    EXPECT_EQ(news, 1);

    // Why a launch failed is the followed player's to say.
    EXPECT_EQ(player->launchProblem(), "nothing starts alpha");

    bus.clear();
    EXPECT_EQ(poll(), "iTunes");
    EXPECT_EQ(player->launchProblem(), "");
    // The built-in player answers for the name only through this player,
    // and waits to be launched as it always does.
    EXPECT_FALSE(processExists());
    EXPECT_TRUE(kit::Workspace::sharedWorkspace().launchApplication("iTunes"));
    EXPECT_TRUE(processExists());
    EXPECT_EQ(kit::Workspace::sharedWorkspace().launchedApplications().size(), 2u);
}

TEST_F(AutoPlayerTest, AnAnsweringMpdServerComesBeforeAnIdleBusPlayer)
{
    testing_support::MpdServer server;
    std::string error;
    ASSERT_TRUE(server.start(tempDir() + "/mpd", &error)) << error;
    install(server.address());
    bus = {{"org.mpris.MediaPlayer2.idle", false}};
    EXPECT_EQ(poll(), "MPD");
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 2));
    script::Script name("tell application \"iTunes\" to get name of current track", directory);
    player->beginPoll();
    auto r = name.execute();
    ASSERT_TRUE(r) << r.error().message;
    EXPECT_EQ(r.value(), Value::text("Gamma Song"));

    // Another player starts playing: the next poll follows it.
    bus[0].playing = true;
    EXPECT_EQ(poll(), "idle");
    bus[0].playing = false;
    server.stop();
    EXPECT_EQ(poll(), "idle");
}

TEST(PlayerChoiceTest, CommandLineThenEnvironmentThenSettingThenAuto)
{
    unsetenv("ZINTARA_PLAYER");
    EXPECT_EQ(effectivePlayerChoice("", ""), "auto");
    EXPECT_EQ(effectivePlayerChoice("", "mpd"), "mpd");
    EXPECT_EQ(effectivePlayerChoice("builtin", "mpd"), "builtin");
    // A hand-edited setting that is no player does not stop the program.
    EXPECT_EQ(effectivePlayerChoice("", "winamp"), "auto");
    EXPECT_EQ(effectivePlayerChoice("", "mpris:9lives"), "auto");
    setenv("ZINTARA_PLAYER", "mpris:vlc.instance1234", 1);
    EXPECT_EQ(effectivePlayerChoice("", "mpd"), "mpris:vlc.instance1234");
    EXPECT_EQ(effectivePlayerChoice("mpd:box:6601", "builtin"), "mpd:box:6601");
    setenv("ZINTARA_PLAYER", "", 1);
    EXPECT_EQ(effectivePlayerChoice("", "builtin"), "builtin");
    unsetenv("ZINTARA_PLAYER");

    EXPECT_FALSE(checkPlayerChoice("auto"));
    EXPECT_FALSE(checkPlayerChoice("mpd"));
    EXPECT_FALSE(checkPlayerChoice("mpd:/run/mpd/socket"));
    EXPECT_FALSE(checkPlayerChoice("mpd:pw@box:6601"));
    EXPECT_FALSE(checkPlayerChoice("mpris:vlc.instance1234"));
    EXPECT_FALSE(checkPlayerChoice("mpris:org.mpris.MediaPlayer2.vlc"));
    EXPECT_TRUE(checkPlayerChoice("mpris:a..b"));
    EXPECT_TRUE(checkPlayerChoice("auto:x"));
    EXPECT_TRUE(checkPlayerChoice("builtin:x"));
    EXPECT_TRUE(checkPlayerChoice("mpd:box:port"));
    EXPECT_TRUE(checkPlayerChoice("mpris:"));
    EXPECT_NE(checkPlayerChoice("winamp").value_or("").find("known: auto, builtin"), std::string::npos);
}

TEST_F(AutoPlayerTest, FactoryMakesJustThePlayerForAChoice)
{
    PlayerOptions options;
    options.player = "mpd:127.0.0.1:" + std::to_string(testing_support::freeLocalPort());
    auto made = PlayerFactory::makePlayer(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<Player>>(made)) << std::get<std::string>(made);
    EXPECT_EQ(std::get<std::unique_ptr<Player>>(made)->displayName(), "MPD");

    options.player = "builtin";
    options.libraryPath = tempDir() + "/missing.json";
    made = PlayerFactory::makePlayer(options);
    ASSERT_TRUE(std::holds_alternative<std::string>(made));
    EXPECT_NE(std::get<std::string>(made).find("missing.json"), std::string::npos) << std::get<std::string>(made);

    setenv("ZINTARA_PLAYER", "builtin", 1);
    EXPECT_TRUE(playerChoiceOverridden(""));
    unsetenv("ZINTARA_PLAYER");
    EXPECT_FALSE(playerChoiceOverridden(""));
    EXPECT_TRUE(playerChoiceOverridden("mpd"));
}

TEST_F(AutoPlayerTest, FactoryBuildsAnMpdPlayerAndAnAutomaticOne)
{
    PlayerOptions options;
    options.player = "mpd:127.0.0.1:" + std::to_string(testing_support::freeLocalPort());
    auto made = PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PlayerDirectory>>(made));
    Player* mpd = std::get<std::unique_ptr<PlayerDirectory>>(made)->player();
    EXPECT_EQ(mpd->displayName(), "MPD");
    EXPECT_FALSE(mpd->isRunning());
    EXPECT_NE(kit::Workspace::sharedWorkspace().application("iTunes"), nullptr);

    options.player = "mpd:box:none";
    ASSERT_TRUE(std::holds_alternative<std::string>(PlayerFactory::make(options)));

    // Nothing answers at MPD's address and no bus: the built-in player.
    setenv("MPD_HOST", "127.0.0.1", 1);
    setenv("MPD_PORT", std::to_string(testing_support::freeLocalPort()).c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + tempDir() + "/no-bus").c_str(), 1);
    options.player = "auto";
    auto automatic = PlayerFactory::make(options);
    unsetenv("MPD_HOST");
    unsetenv("MPD_PORT");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PlayerDirectory>>(automatic));
    EXPECT_EQ(std::get<std::unique_ptr<PlayerDirectory>>(automatic)->player()->displayName(), "iTunes");
}

} // namespace
} // namespace players
