// The poll: the player's state into the drop-down menu and the marquee's
// display line.
#include "ControllerFixture.h"

#include "kit/DockIcon.h"
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/UserDefaults.h"
#include "zintara/TunesView.h"

namespace {

// Three tracks of one album; the player plays the middle one.
std::string library(const std::string& state = "playing", int current = 2, bool shuffle = false,
                    const std::string& repeat = "off")
{
    return R"({"running": true, "playerState": ")" + state + R"(", "currentTrack": )" + std::to_string(current)
        + R"(, "playerPosition": 30, "shuffle": )" + (shuffle ? "true" : "false") + R"(, "songRepeat": ")" + repeat
        + R"(", "tracks": [
        {"name": "Alpha", "artist": "Ann", "album": "First", "trackNumber": 1, "trackCount": 3, "duration": 120, "rating": 20},
        {"name": "Beta", "artist": "Bob", "album": "First", "trackNumber": 2, "trackCount": 3, "duration": 120, "rating": 80},
        {"name": "Gamma", "artist": "Cy", "album": "First", "trackNumber": 3, "trackCount": 3, "duration": 120, "rating": 40}]})";
}

class PollTest : public ControllerTest {
protected:
    kit::UserDefaults& store() { return kit::UserDefaults::standardUserDefaults(); }

    // Builds the player from `json`, writes the defaults, sets the track
    // flags given (all others off), applies the settings and compiles the
    // scripts, then polls once more.
    void start(const std::string& json, std::initializer_list<const char*> on, bool clearPaused = false)
    {
        build(json);
        controller->setDefaultPrefs();
        for (const char* key : {"curTitle", "curArtist", "curAlbum", "curTrack", "nextTitle", "nextArtist",
                                "nextAlbum", "nextTrack"})
            store().setBool(false, key);
        for (const char* key : on)
            store().setBool(true, key);
        store().setBool(clearPaused, "clearPaused");
        controller->syncAppPrefsWithDefaults();
        controller->initScripts();
        controller->timerFire(nullptr);
    }
    TunesView& view() { return *controller->tunesView; }
    std::string line() { return view().displayStr(); }
    int state(kit::Menu* menu, int tag) { return menu->itemWithTag(tag)->state(); }
};

TEST_F(PollTest, ComposesTheLineFromTheChosenFields)
{
    start(library(), {"curTitle", "curArtist", "curAlbum", "curTrack", "nextTitle"});
    EXPECT_EQ(line(), "Beta - Bob - First - (2 of 3)    NEXT: Gamma");

    start(library(), {"curTitle", "curArtist", "nextTitle", "nextArtist", "nextAlbum", "nextTrack"});
    EXPECT_EQ(line(), "Beta - Bob    NEXT: Gamma - Cy - First - (3 of 3)");
}

TEST_F(PollTest, SeparatorsFollowTheFlagsNotTheResults)
{
    start(library(), {"curAlbum"});
    EXPECT_EQ(line(), " - First");

    start(library(), {"curArtist"});
    EXPECT_EQ(line(), "Bob");

    // A title switched on but empty still puts the separator before the artist.
    std::string json = library();
    json.replace(json.find(R"("name": "Beta")"), 14, R"("name": "")");
    start(json, {"curTitle", "curArtist"});
    EXPECT_EQ(line(), " - Bob");
}

TEST_F(PollTest, NextFieldsOnTheLastTrack)
{
    start(library("playing", 3), {"curTitle", "nextTitle"});
    EXPECT_EQ(line(), "Gamma    NEXT: ");

    // Nothing at all while playing: the marquee keeps what it shows.
    view().setDisplayString("earlier line");
    start(library("playing", 3), {"nextTitle"});
    view().setDisplayString("earlier line");
    controller->timerFire(nullptr);
    EXPECT_EQ(line(), "earlier line");

    // Paused, with the static tag not wanted: say why there is nothing.
    start(library("paused", 3), {"nextTitle"}, false);
    EXPECT_EQ(line(), "(Unpause to get track info)");
}

TEST_F(PollTest, MenuFollowsThePlayerState)
{
    start(library("playing", 2, true, "one"), {"curTitle"});
    EXPECT_EQ(controller->playPause->title(), "Pause");
    EXPECT_EQ(state(controller->shuffleMenu, 26), 1);
    EXPECT_EQ(state(controller->shuffleMenu, 25), 0);
    EXPECT_EQ(state(controller->repeatMenu, 28), 1);
    EXPECT_EQ(state(controller->repeatMenu, 27) + state(controller->repeatMenu, 29), 0);
    EXPECT_EQ(controller->ratingSubmenu->itemWithTag(4)->state(), 1);
    EXPECT_FLOAT_EQ(view().timePerc(), 0.25f);
    EXPECT_EQ(controller->quitTunes->title(), "Quit iTunes");
    EXPECT_TRUE(controller->quitBoth->isEnabled());

    start(library("paused"), {"curTitle"});
    EXPECT_EQ(controller->playPause->title(), "Play");
    EXPECT_EQ(state(controller->shuffleMenu, 25), 1);
    EXPECT_EQ(state(controller->repeatMenu, 27), 1);
    EXPECT_EQ(line(), "Beta") << "paused without the static tag still shows the track";
}

TEST_F(PollTest, PausedWithTheStaticTagStillUpdatesTheMenu)
{
    start(library("paused"), {"curTitle"}, true);
    EXPECT_TRUE(view().displayStaticTag());
    EXPECT_EQ(line(), "");
    EXPECT_EQ(controller->playPause->title(), "Play");
    EXPECT_EQ(controller->ratingSubmenu->itemWithTag(4)->state(), 1);
    EXPECT_FLOAT_EQ(view().timePerc(), 0.25f);
}

TEST_F(PollTest, PlayerNotRunning)
{
    start(R"({"running": false})", {"curTitle"}, false);
    EXPECT_FALSE(view().displayStaticTag());
    EXPECT_EQ(line(), "(iTunes is not running)");
    EXPECT_EQ(controller->quitTunes->title(), "Launch iTunes");
    EXPECT_FALSE(controller->quitBoth->isEnabled());

    start(R"({"running": false})", {"curTitle"}, true);
    EXPECT_TRUE(view().displayStaticTag());
    EXPECT_EQ(line(), "");
}

TEST_F(PollTest, BeforeTheScriptsAreCompiledEverythingReadsAsFailed)
{
    build(library());
    controller->setDefaultPrefs();
    store().setBool(false, "clearPaused");
    store().setBool(false, "nextTitle");
    store().setBool(false, "nextArtist");
    controller->syncAppPrefsWithDefaults(); // polls once, with no scripts
    EXPECT_EQ(controller->playPause->title(), "Play");
    EXPECT_EQ(state(controller->shuffleMenu, 25), 1);
    EXPECT_EQ(state(controller->repeatMenu, 29), 1);
    EXPECT_EQ(controller->ratingSubmenu->itemWithTag(0)->state(), 1);
    EXPECT_FLOAT_EQ(view().timePerc(), 0.0f);
    EXPECT_EQ(line(), " ") << "an empty line becomes a blank when an indicator is drawn";

    store().setBool(false, "showPie");
    controller->syncAppPrefsWithDefaults();
    EXPECT_EQ(line(), "");
}

TEST_F(PollTest, FollowsThePlayerOnTheTimer)
{
    start(library(), {"curTitle"});
    EXPECT_EQ(line(), "Beta");
    runFor(100.0); // Beta ends after 90 more seconds; polls every 2 s
    EXPECT_EQ(line(), "Gamma");
}

} // namespace

// The tray icon stands for the Dock icon: its tooltip names what the poll
// put in the marquee, and its menu is the drop-down menu.
TEST_F(PollTest, TrayIconNamesThePlayingTrackAndOffersTheMenu)
{
    kit::DockIcon::shared().applyBundleSetting(); // the copied bundle's LSUIElement is 0
    ASSERT_TRUE(kit::DockIcon::shared().isShown());
    start(library(), {"curTitle", "curArtist"});
    EXPECT_EQ(kit::DockIcon::shared().toolTip(), "Beta - Bob");
    EXPECT_EQ(controller->applicationDockMenu(), controller->dropDownMenu);

    player().player().quit();
    controller->timerFire(nullptr);
    EXPECT_EQ(kit::DockIcon::shared().toolTip(), "(iTunes is not running)");
    kit::DockIcon::shared().resetForTesting();
}
