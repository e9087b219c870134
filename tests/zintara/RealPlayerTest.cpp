// The whole program against a real MPD server, chosen the way a user who
// passes nothing gets it: the automatic player finds the server through
// MPD_HOST and MPD_PORT.
#include "ControllerFixture.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/UserDefaults.h"
#include "kit/Workspace.h"
#include "players/mpd/MpdPlayer.h"
#include "support/MpdServer.h"
#include "zintara/Tags.h"
#include "zintara/TunesView.h"

#include <mpd/client.h>

#include <QComboBox>
#include <QLabel>

#include <chrono>
#include <functional>
#include <cstdlib>

namespace {

class RealPlayerTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        std::string error;
        ASSERT_TRUE(server.start(tempDir() + "/mpd", &error)) << error;
        ASSERT_TRUE(mpd_run_play_pos(server.control(), 1));

        setenv("MPD_HOST", "127.0.0.1", 1);
        setenv("MPD_PORT", std::to_string(server.port()).c_str(), 1);
        unsetenv("ZINTARA_PLAYER");
        // No media players from the machine's own session.
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + tempDir() + "/no-bus").c_str(), 1);

        ASSERT_EQ(players::effectivePlayerChoice("", ""), "auto");
        rebuild("auto");
        controller->setDefaultPrefs();
        controller->syncAppPrefsWithDefaults();
        controller->initScripts();
    }

    void TearDown() override
    {
        controller.reset();
        directory.reset();
        server.stop();
        unsetenv("MPD_HOST");
        unsetenv("MPD_PORT");
        ControllerTest::TearDown();
    }

    // A new player directory for `choice` and a controller over it, with
    // its interface loaded; `prepare` may adjust the player first.
    void rebuild(const std::string& choice, const std::function<void(players::PlayerDirectory&)>& prepare = {})
    {
        controller.reset();
        directory.reset();
        players::PlayerOptions options;
        options.player = choice;
        auto made = players::PlayerFactory::make(options);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::PlayerDirectory>>(made));
        directory = std::move(std::get<std::unique_ptr<players::PlayerDirectory>>(made));
        if (prepare)
            prepare(*directory);
        controller = std::make_unique<Zintara>(*directory);
        std::string error;
        ASSERT_TRUE(controller->loadInterface(&error)) << error;
    }

    std::string line() { return controller->tunesView->displayStr(); }
    int serverPosition()
    {
        mpd_status* s = mpd_run_status(server.control());
        const int pos = s ? mpd_status_get_song_pos(s) : -2;
        if (s)
            mpd_status_free(s);
        return pos;
    }

    testing_support::MpdServer server;
};

TEST_F(RealPlayerTest, TheLineShowsTheServersCurrentAndNextTracks)
{
    controller->timerFire(nullptr);
    EXPECT_NE(line().find("Beta Song - Other Artist"), std::string::npos) << line();
    EXPECT_NE(line().find("NEXT: Gamma Song"), std::string::npos) << line();
    EXPECT_EQ(controller->quitTunes->title(), "Quit MPD");
    EXPECT_EQ(controller->playerDisplayName(), "MPD");
}

TEST_F(RealPlayerTest, NextTrackFromTheMenuMovesTheServerOn)
{
    controller->timerFire(nullptr);
    kit::MenuItem* next = controller->dropDownMenu->itemWithTag(zintara::kTagNext);
    ASSERT_NE(next, nullptr);
    controller->menuSelect(next);
    EXPECT_EQ(serverPosition(), 2);
    EXPECT_NE(line().find("Gamma Song"), std::string::npos) << line();
    EXPECT_NE(line().find("NEXT: untagged take"), std::string::npos) << line();
}

TEST_F(RealPlayerTest, WhenTheServerGoesTheBuiltInPlayerTakesOver)
{
    kit::UserDefaults::standardUserDefaults().setBool(false, "clearPaused");
    controller->syncAppPrefsWithDefaults();
    controller->timerFire(nullptr);
    server.stop();
    controller->timerFire(nullptr);
    EXPECT_EQ(line(), "(iTunes is not running)");
    EXPECT_EQ(controller->quitTunes->title(), "Launch iTunes");
    // The item launches now, whatever its title said before.
    kit::MenuItem* item = controller->dropDownMenu->itemWithTag(zintara::kTagQuitOrLaunchPlayer);
    ASSERT_NE(item, nullptr);
    item->setTitle("Quit MPD");
    controller->menuSelect(item);
    controller->timerFire(nullptr);
    EXPECT_EQ(controller->quitTunes->title(), "Quit iTunes");
}

TEST_F(RealPlayerTest, TheLaunchWindowNamesTheChosenPlayer)
{
    // MPD chosen by name, its server not there: the launch window asks
    // about MPD, not about the scripts' name for it.
    server.stop();
    rebuild("mpd:127.0.0.1:" + std::to_string(server.port()));
    kit::UserDefaults::standardUserDefaults().setBool(false, "showWelcome");
    std::string text;
    answerModal("Launch MPD?", [&](kit::Window& window) {
        text = window.widget()->findChild<QLabel*>("launchText")->text().toStdString();
        clickButton(window, "dontLaunchButton");
    });
    controller->applicationDidFinishLaunching();
    EXPECT_EQ(modalTitles, std::vector<std::string>{"Launch MPD?"});
    EXPECT_EQ(text.find("iTunes"), std::string::npos) << text;
    EXPECT_NE(text.find("launch MPD now"), std::string::npos) << text;
}

TEST_F(RealPlayerTest, AServerThatCannotBeStartedSaysWhy)
{
    server.stop();
    // A machine with neither a user unit for mpd nor a configuration.
    rebuild("mpd:127.0.0.1:" + std::to_string(server.port()), [](players::PlayerDirectory& apps) {
        auto* mpd = dynamic_cast<players::MpdPlayer*>(apps.player());
        ASSERT_NE(mpd, nullptr);
        mpd->setLauncher(players::MpdLauncher{});
    });
    kit::UserDefaults::standardUserDefaults().setBool(false, "showWelcome");

    // From the launch window at start...
    answerModal("Launch MPD?", [&](kit::Window& window) { clickButton(window, "launchButton"); });
    controller->applicationDidFinishLaunching();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "The player could not be started");
    EXPECT_NE(alerts[0].informativeText().find("no systemd user unit"), std::string::npos)
        << alerts[0].informativeText();

    // ...and from the menu.
    controller->timerFire(nullptr);
    ASSERT_EQ(controller->quitTunes->title(), "Launch MPD");
    controller->menuSelect(controller->quitTunes);
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1].informativeText(), alerts[0].informativeText());
}

TEST_F(RealPlayerTest, ASavedPlayerChoiceTakesEffectAtTheNextPoll)
{
    players::PlayerOptions options;
    options.player = "auto";
    options.shuffleSeed = 1;
    controller->allowPlayerSwitch(*directory, options);
    kit::UserDefaults::standardUserDefaults().setBool(false, "clearPaused");
    controller->syncAppPrefsWithDefaults();
    controller->timerFire(nullptr);
    ASSERT_EQ(controller->quitTunes->title(), "Quit MPD");

    auto save = [&](const char* title) {
        controller->showPrefsWnd();
        auto* box = controller->prefsWnd->widget()->findChild<QComboBox*>("playerChoice");
        const int index = box->findText(title);
        ASSERT_GE(index, 0) << title;
        box->setCurrentIndex(index);
        emit box->activated(index);
        clickButton(*controller->prefsWnd, "saveButton");
    };
    auto iTunesEntries = [] {
        int count = 0;
        for (const auto& info : kit::Workspace::sharedWorkspace().launchedApplications())
            count += info.at("NSApplicationName") == "iTunes";
        return count;
    };

    // The server still plays, but the built-in player is the choice now.
    save("Built-in");
    EXPECT_EQ(kit::UserDefaults::standardUserDefaults().stringForKey("player"), "builtin");
    EXPECT_EQ(controller->quitTunes->title(), "Launch iTunes");
    EXPECT_EQ(line(), "(iTunes is not running)");
    EXPECT_EQ(iTunesEntries(), 0);
    // The menu launches the new player and the scripts reach it.
    controller->menuSelect(controller->quitTunes);
    EXPECT_TRUE(alerts.empty());
    controller->timerFire(nullptr);
    EXPECT_EQ(controller->quitTunes->title(), "Quit iTunes");
    EXPECT_EQ(iTunesEntries(), 1);

    save("MPD");
    EXPECT_EQ(controller->quitTunes->title(), "Quit MPD");
    EXPECT_NE(line().find("Beta Song - Other Artist"), std::string::npos) << line();
    EXPECT_EQ(iTunesEntries(), 1);
    controller->menuSelect(controller->dropDownMenu->itemWithTag(zintara::kTagNext));
    EXPECT_EQ(serverPosition(), 2);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(RealPlayerTest, AServerThatRefusesThePasswordSaysSoAndIsNotLaunched)
{
    testing_support::MpdServer locked;
    std::string error;
    ASSERT_TRUE(locked.start(tempDir() + "/locked", &error, true, "s3cret")) << error;
    ASSERT_TRUE(mpd_run_play_pos(locked.control(), 2));
    auto prepare = [&](const std::string& choice) {
        rebuild(choice);
        controller->setDefaultPrefs();
        controller->syncAppPrefsWithDefaults();
        controller->initScripts();
    };

    // Chosen by name: neither the launch window nor the menu offers to
    // launch it, which would start a second server, and the strip says what
    // the server said.
    prepare("mpd:wrong@" + locked.address());
    kit::UserDefaults::standardUserDefaults().setBool(false, "showWelcome");
    controller->applicationDidFinishLaunching();
    EXPECT_TRUE(modalTitles.empty());
    controller->timerFire(nullptr);
    EXPECT_EQ(line(), "(MPD refused the password: incorrect password)");
    EXPECT_FALSE(controller->quitTunes->isEnabled());

    // Chosen automatically: passed over, with one line on standard error
    // however many polls see it.
    setenv("MPD_HOST", "127.0.0.1", 1);
    setenv("MPD_PORT", std::to_string(locked.port()).c_str(), 1);
    testing::internal::CaptureStderr();
    prepare("auto");
    for (int poll = 0; poll < 3; ++poll)
        controller->timerFire(nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "zintara: passing over the MPD server: MPD wants a password\n");
    EXPECT_EQ(controller->playerDisplayName(), "iTunes");
    EXPECT_TRUE(controller->quitTunes->isEnabled());

    // With the password the server answers.
    prepare("mpd:s3cret@" + locked.address());
    controller->timerFire(nullptr);
    EXPECT_NE(line().find("Gamma Song"), std::string::npos) << line();
    EXPECT_TRUE(controller->quitTunes->isEnabled());
}

TEST_F(RealPlayerTest, AServerThatNeverAnswersKeepsThePollShort)
{
    testing_support::SilentPeer peer;
    rebuild("mpd:127.0.0.1:" + std::to_string(peer.port()));
    controller->setDefaultPrefs();
    kit::UserDefaults::standardUserDefaults().setBool(false, "clearPaused");
    controller->syncAppPrefsWithDefaults();
    controller->initScripts();

    for (int poll = 0; poll < 2; ++poll) {
        // The real clock, as an upper bound only.
        const auto start = std::chrono::steady_clock::now();
        controller->timerFire(nullptr);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
        EXPECT_EQ(line(), "(MPD is not running)");
    }
}

} // namespace
