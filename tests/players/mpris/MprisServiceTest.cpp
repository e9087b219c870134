// The MPRIS player against the tests' own service: every term of the
// mapping, the cache, the bounds on a player that hangs or leaves.
#include "players/mpris/MprisFixture.h"

#include "players/mpris/MprisBus.h"
#include "players/mpris/MprisDirectory.h"
#include "tools/ScriptTool.h"
#include "zintara/ScriptTable.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <thread>

namespace mpris_testing {
namespace {

using Results = std::vector<std::optional<std::string>>;
using std::nullopt;

// What the service itself says, asked past the player under test.
QVariant serviceProperty(const std::string& busName, const char* property)
{
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromStdString(busName), "/org/mpris/MediaPlayer2",
        "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.mpris.MediaPlayer2.Player") << QString(property);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 2000);
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first().value<QDBusVariant>().variant();
}

double millisecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

class MprisServiceTest : public MprisFixture {};

TEST_F(MprisServiceTest, MapsTheTracksPlaylistAndPlayerOfTheService)
{
    usePlayer(startService());
    EXPECT_EQ(player->displayName(), "zintaratest"); // until it has said its Identity
    EXPECT_TRUE(player->isRunning());

    EXPECT_EQ(text("player state"), "playing");
    EXPECT_EQ(text("player position"), "42.0");
    EXPECT_EQ(text("shuffle of current playlist"), "false");
    EXPECT_EQ(text("song repeat of current playlist"), "off");

    EXPECT_EQ(text("name of current track"), "First Light");
    EXPECT_EQ(text("artist of current track"), "Ann, Bob");
    EXPECT_EQ(text("album of current track"), "Dawn");
    EXPECT_EQ(text("track number of current track"), "1");
    EXPECT_EQ(text("track count of current track"), "0");
    EXPECT_EQ(text("duration of current track"), "180.0");
    EXPECT_EQ(text("rating of current track"), "80");
    EXPECT_EQ(text("index of current track"), "1");
    EXPECT_EQ(player->displayName(), "Test Player");

    // Tracks of the TrackList: an untitled one reads as its file's name,
    // absent numbers and ratings as 0; indices count from either end.
    EXPECT_EQ(text("name of track 2 of current playlist"), "second take.ogg");
    EXPECT_EQ(text("track number of track 2 of current playlist"), "0");
    EXPECT_EQ(text("rating of track 2 of current playlist"), "0");
    EXPECT_EQ(text("rating of track 3 of current playlist"), "35");
    EXPECT_EQ(text("album of track -1 of current playlist"), "Dusk");
    EXPECT_EQ(text("index of track \"Third\" of current playlist"), "3");
    EXPECT_EQ(text("name of track 4 of current playlist"), "error -1728: iTunes got an error: Can't get track 4 of current playlist.");
    EXPECT_EQ(text("name of track 0 of current playlist"), "error -1728: iTunes got an error: Can't get track 0 of current playlist.");
}

TEST_F(MprisServiceTest, MetadataInLooseTypesIsReadAsWellAsItCanBe)
{
    usePlayer(startService({"--odd-metadata"}));
    EXPECT_EQ(text("name of current track"), "Odd\tOne");
    EXPECT_EQ(text("artist of current track"), "Solo");
    EXPECT_EQ(text("album of current track"), "");
    EXPECT_EQ(text("duration of current track"), "120.0");
    EXPECT_EQ(text("rating of current track"), "100");
    EXPECT_EQ(text("track number of current track"), "7");
    EXPECT_EQ(text("index of current track"), "1");
}

TEST_F(MprisServiceTest, APollReadsTheCacheThatSignalsKeepCurrent)
{
    const std::string bus = startService();
    usePlayer(bus);
    EXPECT_EQ(poll(), (Results{"80", "0.233333333333", "NN0", "First Light", "Ann, Bob", "Dawn", "(1 of 0)",
                          "second take.ogg", "Cy", "Dawn", "(0 of 0)"}));

    // Nothing changed: the poll asks the player nothing.
    std::uint64_t calls = player->busCalls();
    poll();
    EXPECT_EQ(player->busCalls(), calls);

    // The player moves on by itself; its signal updates the cache and the
    // new track costs one reading of the position.
    callService(bus, "Next");
    const Results moved = poll();
    EXPECT_EQ(moved[3], "second take.ogg");
    EXPECT_EQ(moved[7], "Third");
    EXPECT_EQ(moved[1], "0.0");
    EXPECT_EQ(player->busCalls(), calls + 1);

    // An extrapolated position is read again now and then.
    calls = player->busCalls();
    clock.advance(6.0);
    poll();
    EXPECT_EQ(player->busCalls(), calls + 1);
}

TEST_F(MprisServiceTest, PositionMovesWithTheClockWhilePlayingAndFollowsSeeks)
{
    const std::string bus = startService();
    usePlayer(bus);
    EXPECT_EQ(text("player position"), "42.0");
    const std::uint64_t calls = player->busCalls();
    clock.advance(2.5);
    EXPECT_EQ(text("player position"), "44.5");
    player->beginPoll(testBudget());
    EXPECT_EQ(text("player position"), "44.5");
    EXPECT_EQ(player->busCalls(), calls);

    callService(bus, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/zintara/track/1")), qlonglong(100000000)});
    EXPECT_EQ(text("player position"), "100.0");
    EXPECT_EQ(player->busCalls(), calls);

    // Paused, it stays put; past the end it stops at the end.
    EXPECT_EQ(text("pause"), "");
    clock.advance(3.0);
    EXPECT_EQ(text("player position"), "100.0");
    callService(bus, "Play");
    callService(bus, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/zintara/track/1")), qlonglong(179000000)});
    EXPECT_TRUE(player->isRunning()); // takes in the seek before the clock moves
    clock.advance(3.0);
    EXPECT_EQ(text("player position"), "180.0");

    // Setting it seeks within the current track, clamped to it.
    EXPECT_EQ(text("set player position to 12.5"), "");
    EXPECT_EQ(serviceProperty(bus, "Position").toLongLong(), 12500000);
    EXPECT_EQ(text("set player position to 1000"), "");
    EXPECT_EQ(serviceProperty(bus, "Position").toLongLong(), 180000000);
    EXPECT_EQ(text("set player position to \"soon\"").substr(0, 10), "error -170");

    // The player's Rate moves it; a Rate past all reason, on a track without
    // a length, leaves a position that can still be shown.
    const std::pair<const char*, const char*> rates[] = {{"2", "47.0"}, {"1e308", "42.0"}, {"inf", "44.5"}};
    for (const auto& [rate, expected] : rates) {
        service.stop();
        usePlayer(startService({"--rate", rate, "--no-length"}, "zintararate"));
        EXPECT_EQ(text("player position"), "42.0");
        clock.advance(2.5);
        EXPECT_EQ(text("player position"), expected) << "Rate " << rate;
    }
}

TEST_F(MprisServiceTest, SettingsAreWrittenWhereThePlayerAllowsAndRefusalsFailWhatWasAsked)
{
    const std::string bus = startService();
    usePlayer(bus);
    EXPECT_EQ(runSlot(14), nullopt); // set shuffle to true
    EXPECT_EQ(serviceProperty(bus, "Shuffle").toBool(), true);
    EXPECT_EQ(runSlot(17), nullopt); // song repeat one
    EXPECT_EQ(serviceProperty(bus, "LoopStatus").toString(), "Track");
    EXPECT_EQ(runSlot(4), "NY1");
    EXPECT_EQ(runSlot(18), nullopt);
    EXPECT_EQ(serviceProperty(bus, "LoopStatus").toString(), "Playlist");
    EXPECT_EQ(runSlot(4), "NY2");
    runSlot(16);
    runSlot(15);
    EXPECT_EQ(runSlot(4), "NN0");
    EXPECT_EQ(serviceProperty(bus, "LoopStatus").toString(), "None");

    service.stop();
    const std::string fixed = startService({"--read-only", "--refuse", "Next", "--refuse", "Tracks"}, "zintarafixed");
    usePlayer(fixed);
    auto refused = run("tell application \"iTunes\" to set shuffle of current playlist to true");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, -10006);
    EXPECT_EQ(text("shuffle of current playlist"), "false");
    EXPECT_EQ(serviceProperty(fixed, "Shuffle").toBool(), false);
    // Any other refusal is the error of what was asked, in the player's words.
    refused = run("tell application \"iTunes\" to next track");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, -1708);
    EXPECT_EQ(refused.error().message, "iTunes got an error: iTunes refused: not allowed: Next");
    refused = run("tell application \"iTunes\" to get name of track 2 of current playlist");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, -1728);
    EXPECT_EQ(refused.error().message, "iTunes got an error: iTunes refused: not allowed: Tracks");
}

TEST_F(MprisServiceTest, TransportCommandsReachThePlayer)
{
    const std::string bus = startService();
    usePlayer(bus);
    runSlot(0); // play/pause while playing
    EXPECT_EQ(serviceProperty(bus, "PlaybackStatus").toString(), "Paused");
    EXPECT_EQ(text("player state"), "paused");
    runSlot(0);
    EXPECT_EQ(serviceProperty(bus, "PlaybackStatus").toString(), "Playing");

    runSlot(11); // next track
    EXPECT_EQ(text("name of current track"), "second take.ogg");
    EXPECT_EQ(text("index of current track"), "2");
    runSlot(12); // previous track
    EXPECT_EQ(text("name of current track"), "First Light");
    EXPECT_EQ(text("play track 3 of current playlist"), "");
    EXPECT_EQ(text("name of current track"), "Third");
    EXPECT_EQ(text("stop"), "");
    EXPECT_EQ(text("player state"), "stopped");
    EXPECT_EQ(text("playpause"), "");
    EXPECT_EQ(text("player state"), "playing");
}

TEST_F(MprisServiceTest, TagsThePlayerLearnsLateAreAnnouncedWhenItSaysThem)
{
    usePlayer(startService({"--late-tags", "2000"}));
    int changes = 0;
    player->setChangeListener([&] { ++changes; });
    EXPECT_EQ(text("play track 3 of current playlist"), "");
    // Asked at once, the player knows only the file, and says the tags
    // right after: they are news, and they are what is read next.
    EXPECT_EQ(text("name of current track"), "3.flac");
    for (int i = 0; i < 100 && changes == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCoreApplication::processEvents();
    }
    EXPECT_GE(changes, 1);
    EXPECT_EQ(text("name of current track"), "Third");
}

TEST_F(MprisServiceTest, OneShotScriptsSeeWhatTheCommandBeforeThemDid)
{
    startService();
    std::ostringstream out, err;
    std::istringstream in;
    const int status = tools::ScriptTool::run({"--player", "mpris:zintaratest",
        "-e", "tell application \"iTunes\" to next track",
        "-e", "tell application \"iTunes\" to get name of current track",
        "-e", "tell application \"System Events\" to exists process \"iTunes\""}, out, err, in);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(out.str().substr(0, 17), "\nsecond take.ogg\n");
}

TEST_F(MprisServiceTest, QuitIsSentOnlyToAPlayerThatCanQuit)
{
    const std::string stubborn = startService({"--cannot-quit"}, "zintarastubborn");
    usePlayer(stubborn);
    EXPECT_EQ(runSlot(13), nullopt);
    EXPECT_EQ(text("quit"), "error -1708: iTunes got an error: Test Player can't be quit from here.");
    EXPECT_TRUE(service.running());

    service.stop();
    const std::string bus = startService();
    usePlayer(bus);
    runSlot(13);
    EXPECT_TRUE(waitForBusName(bus, false));
    for (int i = 0; i < 250 && player->isRunning(); ++i)
        waitForBusName(bus, false, 0.02); // the owner's departure reaches the player through its signal
    EXPECT_FALSE(player->isRunning());
    EXPECT_EQ(poll(), Results(11, nullopt));
}

TEST_F(MprisServiceTest, APlayerThatComesBackIsReadAfresh)
{
    const std::string bus = startService({"--no-tracklist", "--identity", "Old Self"});
    usePlayer(bus);
    EXPECT_EQ(runSlot(5), nullopt);
    service.stop();
    ASSERT_TRUE(waitForBusName(bus, false));
    EXPECT_FALSE(player->isRunning());

    // The same name, another program behind it: nothing of the old one is
    // kept but the name it was known by until the new one says its own.
    startService();
    for (int i = 0; i < 250 && !player->isRunning(); ++i)
        waitForBusName(bus, true, 0.02);
    ASSERT_TRUE(player->isRunning());
    EXPECT_EQ(poll()[7], "second take.ogg");
    EXPECT_EQ(player->displayName(), "Test Player");
}

TEST_F(MprisServiceTest, RatingsAreReadButMprisCannotSetThem)
{
    usePlayer(startService());
    auto r = run(zintara::kRatingSources[3]);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, -10006);
    EXPECT_NE(r.error().message.find("Test Player can't set the rating"), std::string::npos) << r.error().message;
    EXPECT_EQ(runSlot(19), "80");
}

TEST_F(MprisServiceTest, WithoutATrackListTheNextTrackIsAnError)
{
    usePlayer(startService({"--no-tracklist"}));
    const Results results = poll();
    EXPECT_EQ(results, (Results{"80", "0.233333333333", "NN0", "First Light", "Ann, Bob", "Dawn", "(1 of 0)",
                           nullopt, nullopt, nullopt, nullopt}));
    EXPECT_EQ(text("index of current track"), "error -1728: iTunes got an error: Can't get index of current track.");
    EXPECT_EQ(text("name of track 1 of current playlist"), "error -1728: iTunes got an error: Can't get track 1 of current playlist.");
}

TEST_F(MprisServiceTest, AnAbsentPlayerIsNotRunningAndSaysWhyItCannotStart)
{
    usePlayer("org.mpris.MediaPlayer2.nobody.instance77");
    EXPECT_FALSE(player->isRunning());
    EXPECT_EQ(player->displayName(), "nobody");
    EXPECT_EQ(poll(), Results(11, nullopt));
    EXPECT_EQ(player->busCalls(), 0u);

    auto launched = run("tell application \"iTunes\" to launch");
    ASSERT_FALSE(launched.ok());
    EXPECT_EQ(launched.error().number, -600);
    EXPECT_EQ(launched.error().message, "Cannot start nobody: no program is registered on the session bus to start "
                                        "org.mpris.MediaPlayer2.nobody.instance77. Start the player yourself.");
    // The user's launch (menu, launch window) gets the same reason.
    EXPECT_FALSE(player->launchApplication());
    EXPECT_EQ(player->launchProblem(), launched.error().message);

    // The choice's name: checked, and completed to a bus name.
    auto named = players::MprisPlayer::choose("iTunes", "vlc.instance1234");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::MprisPlayer>>(named));
    EXPECT_EQ(std::get<0>(named)->busName(), "org.mpris.MediaPlayer2.vlc.instance1234");
    EXPECT_EQ(std::get<0>(named)->displayName(), "vlc");
    for (const char* bad : {"a..b", "9lives", "x/y", "trailing."})
        EXPECT_TRUE(std::holds_alternative<std::string>(players::MprisPlayer::choose("iTunes", bad))) << bad;
}

TEST_F(MprisServiceTest, LaunchStartsAPlayerThatTheBusCanActivate)
{
    const std::string bus = std::string("org.mpris.MediaPlayer2.") + MprisWorld::kActivatableName;
    usePlayer(bus);
    EXPECT_FALSE(player->isRunning());
    player->launch();
    EXPECT_TRUE(waitForBusName(bus, true));
    for (int i = 0; i < 250 && !player->isRunning(); ++i)
        waitForBusName(bus, true, 0.02);
    EXPECT_TRUE(player->isRunning());
    EXPECT_EQ(text("name of current track"), "First Light");
    EXPECT_EQ(player->displayName(), "Activated");
    EXPECT_EQ(player->launchProblem(), "");
    text("quit");
    EXPECT_TRUE(waitForBusName(bus, false));
    EXPECT_EQ(player->displayName(), "Activated"); // remembered after it left
}

TEST_F(MprisServiceTest, APlayerThatNeverAnswersCostsOneBoundedWaitAPoll)
{
    const std::string bus = startService({"--hang"});
    usePlayer(bus);
    EXPECT_TRUE(player->isRunning()); // the bus, not the player, says so

    for (int round = 0; round < 2; ++round) {
        const std::uint64_t calls = player->busCalls();
        Results results;
        const double ms = millisecondsOf([&] { results = poll(); });
        EXPECT_LT(ms, 250.0);
        EXPECT_EQ(results, Results(11, nullopt));
        // One wait for the properties; the rest of the poll failed at once.
        EXPECT_EQ(player->busCalls(), calls + 2);
    }
    auto r = run("tell application \"iTunes\" to name of current track");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, -1712);
}

TEST_F(MprisServiceTest, APlayerThatLeavesMidPollFailsTheRestAsNotRunning)
{
    usePlayer(startService({"--vanish-on", "Position"}));
    Results results;
    const double ms = millisecondsOf([&] { results = poll(); });
    EXPECT_LT(ms, 250.0);
    // The rating came from the cache; the position's call found the player
    // gone, and every later script failed its guard.
    EXPECT_EQ(results, (Results{"80", nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt, nullopt,
                           nullopt, nullopt}));
    EXPECT_FALSE(player->isRunning());
    const std::uint64_t calls = player->busCalls();
    EXPECT_EQ(poll(), Results(11, nullopt));
    EXPECT_EQ(player->busCalls(), calls);
}

TEST_F(MprisServiceTest, APollWaitsOnThePlayerOnlyWithinItsBudget)
{
    // A player that invalidates its Metadata after every answer is read
    // again once a poll, not by every script.
    usePlayer(startService({"--invalidate"}));
    EXPECT_EQ(poll()[7], "second take.ogg");
    std::uint64_t calls = player->busCalls();
    EXPECT_EQ(poll()[3], "First Light");
    EXPECT_EQ(player->busCalls(), calls + 2); // its properties and the position

    // A poll whose budget is spent asks the player nothing and fails.
    calls = player->busCalls();
    EXPECT_EQ(poll(players::PollBudget::startingNow(std::chrono::milliseconds(0))), Results(11, nullopt));
    EXPECT_EQ(player->busCalls(), calls);
    EXPECT_EQ(poll()[3], "First Light");
}

TEST_F(MprisServiceTest, OfALongTrackListOnlyWhatTheLineShowsIsRead)
{
    const std::string bus = startService({"--tracks", "1000"});
    usePlayer(bus);
    auto described = [&] {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QString::fromStdString(bus), "/org/mpris/MediaPlayer2", "org.zintara.Test", "Described");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 2000);
        return reply.arguments().value(0).toLongLong();
    };
    // The next track, for all the slots that show it, and the one after it.
    EXPECT_EQ(poll()[7], "second take.ogg");
    EXPECT_EQ(described(), 2);
    EXPECT_EQ(text("name of track -1 of current playlist"), "Song 1000");
    EXPECT_EQ(described(), 3);

    // A new list: the new next track is read, nothing else.
    callService(bus, "ReplaceList", {}, "org.zintara.Test");
    EXPECT_EQ(poll()[10], "(0 of 0)");
    EXPECT_EQ(described(), 5);
    // By name, every track is read, once.
    EXPECT_EQ(text("index of track \"Song 999\" of current playlist"), "999");
    EXPECT_EQ(text("index of track \"Song 17\" of current playlist"), "17");
    EXPECT_EQ(described(), 5 + 998);
}

TEST_F(MprisServiceTest, APlayerWhoseNameKeepsChangingOwnerIsReadSafely)
{
    // The name goes to another connection every 2 ms, so the link learns of
    // a new owner between resolving a track and reading it. Titles long
    // enough to be kept apart from the track show a read of a track freed.
    const std::string more = ", a title long enough to be kept apart";
    usePlayer(startService({"--churn", "2", "--title-suffix", more}));
    const std::set<std::optional<std::string>> names{nullopt, "First Light" + more, "second take.ogg", "Third" + more};
    for (int round = 0; round < 150; ++round) {
        const Results results = poll();
        EXPECT_TRUE(names.count(results[3])) << *results[3];
        EXPECT_TRUE(names.count(results[7])) << *results[7];
        const std::string third = text("name of track 3 of current playlist");
        EXPECT_TRUE(third == "Third" + more || third.rfind("error ", 0) == 0) << third;
    }
}

TEST_F(MprisServiceTest, ListsThePlayersOnTheBusFromWhatTheBusSignals)
{
    const std::string bus = startService();
    ChildProcess hung;
    ASSERT_TRUE(hung.start({MPRIS_TEST_SERVICE, "--name", "zintarahung", "--hang"}));
    ASSERT_TRUE(waitForBusName("org.mpris.MediaPlayer2.zintarahung", true));
    auto list = [] {
        std::vector<std::string> seen;
        const double ms = millisecondsOf([&] {
            for (const auto& p : players::listMprisPlayers())
                seen.push_back(p.busName + "|" + p.identity + "|" + p.playbackStatus);
        });
        EXPECT_LT(ms, 250.0);
        return seen;
    };
    const std::string mpv = g_mprisWorld->mpvBusName() + "|mpv|";
    std::vector<std::string> seen = list();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].substr(0, mpv.size()), mpv);
    EXPECT_EQ(seen[1], "org.mpris.MediaPlayer2.zintarahung|zintarahung|");
    EXPECT_EQ(seen[2], "org.mpris.MediaPlayer2.zintaratest|Test Player|Playing");

    // Players that answered are not asked again: their changes come by
    // signal. The hung one is asked again, but not waited for twice.
    callService(bus, "Pause");
    players::MprisDirectory& directory = players::MprisDirectory::shared();
    std::uint64_t calls = directory.calls();
    double ms = millisecondsOf([&] { seen = list(); });
    EXPECT_LT(ms, 100.0);
    EXPECT_EQ(directory.calls(), calls + 3);
    EXPECT_EQ(seen.at(2), "org.mpris.MediaPlayer2.zintaratest|Test Player|Paused");

    hung.stop();
    ASSERT_TRUE(waitForBusName("org.mpris.MediaPlayer2.zintarahung", false));
    calls = directory.calls();
    seen = list();
    EXPECT_EQ(directory.calls(), calls);
    EXPECT_EQ(seen.size(), 2u);

    // Back under a new owner, it is still not waited for.
    ASSERT_TRUE(hung.start({MPRIS_TEST_SERVICE, "--name", "zintarahung", "--hang"}));
    ASSERT_TRUE(waitForBusName("org.mpris.MediaPlayer2.zintarahung", true));
    ms = millisecondsOf([&] { seen = list(); });
    EXPECT_LT(ms, 100.0);
    EXPECT_EQ(seen.size(), 3u);
}

} // namespace
} // namespace mpris_testing
