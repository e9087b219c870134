// The poll: the player's state into the drop-down menu and the marquee's
// display line.
#include "ControllerFixture.h"

#include "kit/DockIcon.h"
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/StringDrawing.h"
#include "kit/UserDefaults.h"
#include "players/DemoLibrary.h"
#include "zintara/TunesView.h"

#include <QFont>
#include <QTextLayout>

#include <algorithm>

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

    // A count the player does not know (0) is not claimed, and a track with
    // no number either has no piece.
    std::string json = library();
    const auto change = [&json](const std::string& from, const std::string& to) {
        json.replace(json.find(from), from.size(), to);
    };
    change(R"("trackNumber": 2, "trackCount": 3)", R"("trackNumber": 2, "trackCount": 0)");
    change(R"("trackNumber": 3, "trackCount": 3)", R"("trackNumber": 0, "trackCount": 0)");
    start(json, {"curTitle", "curTrack", "nextTitle", "nextTrack"});
    EXPECT_EQ(line(), "Beta - (2)    NEXT: Gamma");
}

// A title that overrides the direction, or is written right to left, stays
// in its own place: the artist, "NEXT:" and the next title after it read
// left to right, as the line is laid out.
TEST_F(PollTest, ATitlesDirectionStaysInsideIt)
{
    for (const char* title : {R"(\u202eBeta \u05d0)", R"(\u2069\u202eBeta)", R"(\u2067\u202eBeta)", R"(\u05d0\u2067x)",
                              R"(\u05d0\u05d1)"}) {
        std::string json = library();
        json.replace(json.find(R"("name": "Beta")"), 14, std::string(R"("name": ")") + title + "\"");
        start(json, {"curTitle", "curArtist", "nextTitle"});
        const QString text = QString::fromStdString(kit::laidOutText(line()));
        QTextLayout layout(text, QFont(QStringLiteral("DejaVu Sans")));
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        layout.setTextOption(option);
        layout.beginLayout();
        const QTextLine laidOut = layout.createLine();
        layout.endLayout();
        const qsizetype artist = text.indexOf(QStringLiteral("Bob"));
        const qsizetype next = text.indexOf(QStringLiteral("NEXT: Gamma"));
        ASSERT_GT(artist, 0) << title;
        double titleEnd = 0.0;
        for (qsizetype i = 0; i < artist - 3; ++i)
            titleEnd = std::max(titleEnd, laidOut.cursorToX(int(i)));
        double x = titleEnd;
        for (qsizetype i : {artist, artist + 1, artist + 2, next, next + 4, next + 6, next + 10}) {
            const double at = laidOut.cursorToX(int(i));
            EXPECT_GT(at, x) << title << ": letter " << i << " of " << text.toStdString();
            x = at;
        }
    }
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

// A player that makes its changes known by itself, as a media player on the
// session bus does when a new track's tags come in after a poll.
class AnnouncingPlayer : public players::BuiltinPlayer {
public:
    using BuiltinPlayer::BuiltinPlayer;
    void announce() { changed(); }
};

TEST_F(PollTest, APlayersOwnNewsIsShownSoonAfterInOnePoll)
{
    build(library());
    controller.reset(); // it holds the player being replaced
    auto made = std::make_unique<AnnouncingPlayer>("iTunes", players::demoLibrary(), 1);
    AnnouncingPlayer& announcing = *made;
    directory->setPlayer(std::move(made));
    controller = std::make_unique<Zintara>(*directory);
    std::string error;
    ASSERT_TRUE(controller->loadInterface(&error)) << error;
    kit::Application::sharedApplication().setDelegate(controller.get());
    controller->setDefaultPrefs();
    controller->syncAppPrefsWithDefaults();
    controller->initScripts();
    announcing.launch();
    controller->timerFire(nullptr);
    const std::string before = line();
    ASSERT_FALSE(before.empty());

    // The track changes between polls; the player says so many times over.
    announcing.player().nextTrack();
    for (int i = 0; i < 50; ++i)
        announcing.announce();
    EXPECT_EQ(line(), before) << "the news is followed by a poll, not answered inside the call";
    runFor(0.2); // well before the next regular poll
    EXPECT_NE(line(), before);
    const std::string now = announcing.player().track(announcing.player().currentTrack()).name;
    EXPECT_EQ(line().rfind(now, 0), 0u) << line();
}
