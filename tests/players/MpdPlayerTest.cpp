#include "players/PlayerDirectory.h"
#include "players/mpd/MpdAddress.h"
#include "players/mpd/MpdPlayer.h"
#include "players/mpd/MpdSong.h"

#include "kit/Task.h"
#include "script/Script.h"
#include "support/MpdServer.h"
#include "support/TestEnvironment.h"

#include <mpd/client.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

namespace players {
namespace {

using script::Value;
namespace errc = script::errc;

TEST(MpdAddressTest, ReadsHostPortPasswordAndSockets)
{
    auto a = MpdAddress::parse("");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "");
    EXPECT_EQ(a->port, 0u);

    a = MpdAddress::parse("music.local:6601");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "music.local");
    EXPECT_EQ(a->port, 6601u);

    a = MpdAddress::parse(":6602");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "");
    EXPECT_EQ(a->port, 6602u);

    a = MpdAddress::parse("secret@box:1");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->password, "secret");
    EXPECT_EQ(a->host, "box");
    EXPECT_EQ(a->port, 1u);

    a = MpdAddress::parse("/run/mpd/socket");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "/run/mpd/socket");
    EXPECT_TRUE(a->isLocal());

    a = MpdAddress::parse("@mpd");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "@mpd");
    EXPECT_EQ(a->password, "");

    // Where each goes: without an address mpc's order, the library's socket
    // path and then localhost; MPD_HOST and MPD_PORT when they are set.
    using Targets = std::vector<std::pair<std::string, unsigned>>;
    unsetenv("MPD_HOST");
    unsetenv("MPD_PORT");
    const Targets defaults = MpdAddress::parse("")->targets();
    ASSERT_EQ(defaults.size(), 2u);
    EXPECT_EQ(defaults[0].first.front(), '/');
    EXPECT_EQ(defaults[1], Targets::value_type("localhost", 6600u));
    setenv("MPD_PORT", "6610", 1);
    EXPECT_EQ(MpdAddress::parse("")->targets().back(), Targets::value_type("localhost", 6610u));
    setenv("MPD_HOST", "pw@box", 1);
    EXPECT_EQ(MpdAddress::parse("")->targets(), Targets({{"box", 6610u}}));
    unsetenv("MPD_HOST");
    unsetenv("MPD_PORT");
    EXPECT_EQ(MpdAddress::parse("music.local:6601")->targets(), Targets({{"music.local", 6601u}}));
    EXPECT_EQ(MpdAddress::parse("music.local")->targets(), Targets({{"music.local", 6600u}}));

    EXPECT_FALSE(MpdAddress::parse("box:port"));
    EXPECT_FALSE(MpdAddress::parse("box:0"));
    EXPECT_FALSE(MpdAddress::parse("box:65536"));
    EXPECT_FALSE(MpdAddress::parse("box:"));
    EXPECT_FALSE(MpdAddress::parse("box.example:80").value().isLocal());
}

TEST(MpdSongTest, TrackNumbersAndNamesOfUntaggedFiles)
{
    EXPECT_EQ(MpdSong::trackNumbers("3/12"), std::make_pair(3, 12));
    EXPECT_EQ(MpdSong::trackNumbers("3"), std::make_pair(3, 0));
    EXPECT_EQ(MpdSong::trackNumbers(""), std::make_pair(0, 0));
    EXPECT_EQ(MpdSong::trackNumbers("x/5"), std::make_pair(0, 5));
    EXPECT_EQ(MpdSong::trackNumbers("-2/abc"), std::make_pair(0, 0));

    MpdSong s;
    s.uri = "Some Folder/sub.dir/untagged take.flac";
    EXPECT_EQ(s.name(), "untagged take");
    s.uri = "noextension";
    EXPECT_EQ(s.name(), "noextension");
    s.title = "Tagged";
    EXPECT_EQ(s.name(), "Tagged");
}

class MpdPlayerTest : public testing_support::KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        std::string error;
        ASSERT_TRUE(server.start(tempDir() + "/mpd", &error, withStickers(), password())) << error;
        install(server.address());
    }

    void TearDown() override
    {
        directory.reset();
        server.stop();
        KitTest::TearDown();
    }

    virtual bool withStickers() const { return true; }
    virtual std::string password() const { return ""; }

    // A server that just started playing may take a while to answer on a
    // busy machine; the bounds themselves are tested against peers that
    // misbehave, with the real budget and timeout.
    void install(const std::string& address, unsigned timeoutMs = 3000)
    {
        directory = std::make_unique<PlayerDirectory>();
        auto owned = std::make_unique<MpdPlayer>("iTunes", MpdAddress::parse(address).value(), timeoutMs);
        player = owned.get();
        directory->setPlayer(std::move(owned));
        begin();
    }
    void begin() { player->beginPoll(PollBudget::startingNow(std::chrono::seconds(10))); }

    // Runs one script against the directory, as a poll runs each of its.
    script::Result<Value> run(const std::string& source)
    {
        script::Script script(source, *directory);
        return script.execute();
    }
    script::Result<Value> tell(const std::string& body)
    {
        return run("tell application \"iTunes\"\n" + body + "\nend tell");
    }
    std::string text(const std::string& body)
    {
        auto r = tell(body);
        if (!r)
            return "error " + std::to_string(r.error().number) + ": " + r.error().message;
        return r.value().stringValue().value_or("<no text>");
    }
    // The same guard the program's scripts use.
    script::Result<Value> guarded(const std::string& body)
    {
        return run("tell application \"System Events\"\nif exists process \"iTunes\" then\n"
                   "tell application \"iTunes\"\n" + body + "\nend tell\nend if\nend tell");
    }

    mpd_status* status() { return mpd_run_status(server.control()); }
    int currentPosition()
    {
        mpd_status* s = status();
        const int pos = s ? mpd_status_get_song_pos(s) : -2;
        if (s)
            mpd_status_free(s);
        return pos;
    }
    mpd_state state()
    {
        mpd_status* s = status();
        const mpd_state st = s ? mpd_status_get_state(s) : MPD_STATE_UNKNOWN;
        if (s)
            mpd_status_free(s);
        return st;
    }
    std::string sticker(const std::string& uri)
    {
        mpd_connection* c = server.control();
        std::string value;
        if (mpd_send_sticker_get(c, "song", uri.c_str(), "rating")) {
            if (mpd_pair* pair = mpd_recv_sticker(c)) {
                value = pair->value;
                mpd_return_sticker(c, pair);
            }
            mpd_response_finish(c);
        }
        mpd_connection_clear_error(c);
        return value;
    }

    // The eleven scripts of one poll of the marquee, as far as they ask the
    // player: current and next track, their numbers, modes, progress, rating.
    void poll() { poll(PollBudget::startingNow(std::chrono::seconds(10))); }
    void poll(const PollBudget& budget)
    {
        player->beginPoll(budget);
        for (const char* body : {
                 "return name of current track", "return artist of current track", "return album of current track",
                 "if player state is playing then\nset s to \"N\"\nelse\nset s to \"Y\"\nend if\n"
                 "if shuffle of current playlist then\nset s to s & \"Y\"\nend if\n"
                 "if song repeat of current playlist is all then\nset s to s & \"2\"\nend if\nreturn s",
                 "get name of track ((get index of current track) + 1) of current playlist",
                 "return artist of track ((get index of current track) + 1) of current playlist",
                 "return album of track ((get index of current track) + 1) of current playlist",
                 "return \"(\" & (track number of current track) & \" of \" & (track count of current track) & \")\"",
                 "set n to track number of track ((get index of current track) + 1) of current playlist\n"
                 "return n & track count of track ((get index of current track) + 1) of current playlist",
                 "return (player position) / (duration of current track)", "return rating of current track"})
            guarded(body);
    }

    testing_support::MpdServer server;
    std::unique_ptr<PlayerDirectory> directory;
    MpdPlayer* player = nullptr;
};

TEST_F(MpdPlayerTest, ReadsTheCurrentSongAndTheQueue)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 1));
    ASSERT_TRUE(mpd_run_pause(server.control(), true));
    begin();

    EXPECT_EQ(text("return player state"), "paused");
    EXPECT_EQ(text("return name of current track"), "Beta Song");
    EXPECT_EQ(text("return artist of current track"), "Other Artist");
    EXPECT_EQ(text("return album of current track"), "Test Album");
    // The file says "2/3"; this server hands clients the number alone.
    EXPECT_EQ(text("return track number of current track"), "2");
    EXPECT_EQ(text("return duration of current track"), "50.0");
    EXPECT_EQ(text("return index of current track"), "2");
    EXPECT_EQ(text("get name of track ((get index of current track) + 1) of current playlist"), "Gamma Song");
    EXPECT_EQ(text("return track number of track 3 of current playlist"), "3");
    EXPECT_EQ(text("return track count of track 1 of current playlist"), "0");
    EXPECT_EQ(text("return name of track 4 of current playlist"), "untagged take");
    EXPECT_EQ(text("return name of track -1 of current playlist"), "untagged take");
    EXPECT_EQ(text("return index of track \"Gamma Song\" of current playlist"), "3");
    EXPECT_EQ(text("return name of current playlist"), "Queue");

    // The current track as an object names the song playing now.
    auto object = tell("return current track");
    ASSERT_TRUE(object);
    ASSERT_EQ(object.value().type(), Value::Type::Object);
    ASSERT_EQ(object.value().asObject().path.size(), 2u);
    EXPECT_EQ(object.value().asObject().path.back().index, 2);
    ASSERT_TRUE(mpd_run_next(server.control()));
    begin();
    object = tell("return current track");
    ASSERT_TRUE(object);
    EXPECT_EQ(object.value().asObject().path.back().index, 3);

    // Queue entries read once are not kept past a change of the queue.
    EXPECT_EQ(text("return name of track 1 of current playlist"), "Alpha Song");
    ASSERT_TRUE(mpd_run_move(server.control(), 3, 0));
    begin();
    EXPECT_EQ(text("return name of track 1 of current playlist"), "untagged take");

    auto past = tell("return name of track 5 of current playlist");
    ASSERT_FALSE(past);
    EXPECT_EQ(past.error().number, errc::CantGet);

    auto position = tell("return player position");
    ASSERT_TRUE(position);
    EXPECT_GE(position.value().asReal(), 0.0);
    EXPECT_LT(position.value().asReal(), 50.0);
}

TEST_F(MpdPlayerTest, WithoutACurrentSongTheCurrentTrackIsAnError)
{
    EXPECT_EQ(text("return player state"), "stopped");
    auto current = tell("return name of current track");
    ASSERT_FALSE(current);
    EXPECT_EQ(current.error().number, errc::CantGet);
    // The guarded scripts of a poll just come back empty-handed, no crash.
    EXPECT_FALSE(guarded("return name of current track"));

    // A stopped server keeps its place in the queue, but like the built-in
    // player (and mpc) it has no current track then.
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 1));
    ASSERT_TRUE(mpd_run_stop(server.control()));
    ASSERT_EQ(currentPosition(), 1);
    begin();
    EXPECT_EQ(text("return player state"), "stopped");
    EXPECT_FALSE(tell("return name of current track"));
}

TEST_F(MpdPlayerTest, ShuffleAndSongRepeatMapToRandomRepeatAndSingle)
{
    auto modes = [&] {
        mpd_status* s = status();
        std::string m = std::string(mpd_status_get_random(s) ? "R" : "-") + (mpd_status_get_repeat(s) ? "r" : "-")
            + (mpd_status_get_single(s) ? "1" : "-");
        mpd_status_free(s);
        return m;
    };
    ASSERT_TRUE(tell("set shuffle of current playlist to true"));
    ASSERT_TRUE(tell("set song repeat of current playlist to one"));
    EXPECT_EQ(modes(), "Rr1");
    EXPECT_EQ(text("return song repeat of current playlist"), "one");
    EXPECT_EQ(text("return shuffle of current playlist"), "true");

    ASSERT_TRUE(tell("set song repeat of current playlist to all"));
    EXPECT_EQ(modes(), "Rr-");
    EXPECT_EQ(text("return song repeat of current playlist"), "all");

    ASSERT_TRUE(tell("set song repeat of current playlist to off"));
    ASSERT_TRUE(tell("set shuffle of current playlist to false"));
    EXPECT_EQ(modes(), "---");
    EXPECT_EQ(text("return song repeat of current playlist"), "off");

    // From one straight to off: single goes too, or MPD would stop after
    // the current song.
    ASSERT_TRUE(tell("set song repeat of current playlist to one"));
    ASSERT_TRUE(tell("set song repeat of current playlist to off"));
    EXPECT_EQ(modes(), "---");

    // Single without repeat still reads as off.
    mpd_run_single(server.control(), true);
    begin();
    EXPECT_EQ(text("return song repeat of current playlist"), "off");

    EXPECT_EQ(tell("set song repeat of current playlist to 3").error().number, errc::CantMakeType);
}

TEST_F(MpdPlayerTest, TransportCommandsDriveTheServer)
{
    ASSERT_TRUE(tell("play"));
    EXPECT_EQ(state(), MPD_STATE_PLAY);
    EXPECT_EQ(currentPosition(), 0);
    EXPECT_EQ(text("return player state"), "playing");

    ASSERT_TRUE(tell("next track"));
    EXPECT_EQ(currentPosition(), 1);
    EXPECT_EQ(text("return name of current track"), "Beta Song");

    ASSERT_TRUE(tell("pause"));
    EXPECT_EQ(state(), MPD_STATE_PAUSE);
    ASSERT_TRUE(tell("play"));
    EXPECT_EQ(state(), MPD_STATE_PLAY);
    EXPECT_EQ(currentPosition(), 1);

    ASSERT_TRUE(tell("previous track"));
    EXPECT_EQ(currentPosition(), 0);

    ASSERT_TRUE(tell("play track 3 of current playlist"));
    EXPECT_EQ(currentPosition(), 2);

    // Quitting stops playback; the shared server keeps running.
    ASSERT_TRUE(tell("quit"));
    EXPECT_EQ(state(), MPD_STATE_STOP);
    begin();
    EXPECT_TRUE(player->isRunning());
    EXPECT_EQ(player->displayName(), "MPD");
}

TEST_F(MpdPlayerTest, RatingIsTheStickerScaledByTen)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 0));
    begin();
    EXPECT_EQ(text("return rating of current track"), "0");

    ASSERT_EQ(text("set rating of current track to 84"), "<no text>");
    EXPECT_EQ(sticker("01 Alpha.flac"), "8");
    EXPECT_EQ(text("return rating of current track"), "80");

    ASSERT_TRUE(tell("set rating of track 2 of current playlist to 35"));
    EXPECT_EQ(sticker("02 Beta.flac"), "4");
    ASSERT_TRUE(tell("set rating of current track to 250"));
    EXPECT_EQ(sticker("01 Alpha.flac"), "10");

    // A rating set behind the program's back shows at the next poll, one
    // out of range as the nearest in range.
    mpd_run_sticker_set(server.control(), "song", "01 Alpha.flac", "rating", "3");
    begin();
    EXPECT_EQ(text("return rating of current track"), "30");
    mpd_run_sticker_set(server.control(), "song", "01 Alpha.flac", "rating", "30");
    begin();
    EXPECT_EQ(text("return rating of current track"), "100");
}

class MpdWithPasswordTest : public MpdPlayerTest {
protected:
    std::string password() const override { return "s3cret"; }
};

TEST_F(MpdWithPasswordTest, APasswordInTheAddressOrInMpdHostOpensTheServer)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 2));
    std::vector<std::string> launched;
    kit::Task::setLauncher([&](const std::string& path, const std::vector<std::string>&) {
        launched.push_back(path);
        return true;
    });
    // Without it, or with a wrong one, the server answers nothing a poll
    // needs; it is there, so it is not launched again, and the scripts'
    // error says what is wrong.
    for (const std::string& address : {server.address(), "wrong@" + server.address()}) {
        install(address);
        EXPECT_FALSE(player->isRunning());
        EXPECT_EQ(player->refusal(), address == server.address() ? "MPD wants a password"
                                                                 : "MPD refused the password: incorrect password");
        EXPECT_FALSE(player->launchApplication());
        EXPECT_NE(player->launchProblem().find(player->refusal()), std::string::npos);
        EXPECT_EQ(text("return name of current track"), "error -600: " + player->refusal());
    }
    EXPECT_TRUE(launched.empty());
    kit::Task::setLauncher(nullptr);

    install("s3cret@" + server.address());
    EXPECT_EQ(text("return name of current track"), "Gamma Song");
    EXPECT_EQ(player->refusal(), "");

    setenv("MPD_HOST", "s3cret@127.0.0.1", 1);
    setenv("MPD_PORT", std::to_string(server.port()).c_str(), 1);
    install("");
    EXPECT_EQ(text("return name of current track"), "Gamma Song");
    unsetenv("MPD_HOST");
    unsetenv("MPD_PORT");
}

class MpdWithoutStickersTest : public MpdPlayerTest {
protected:
    bool withStickers() const override { return false; }
};

TEST_F(MpdWithoutStickersTest, RatingIsAnErrorTheRestStillWorks)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 0));
    begin();
    EXPECT_FALSE(tell("return rating of current track"));
    EXPECT_FALSE(tell("set rating of current track to 60"));
    poll();
    EXPECT_EQ(text("return name of current track"), "Alpha Song");
}

TEST_F(MpdPlayerTest, ASteadyPollIsOneRoundTrip)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 1));
    ASSERT_TRUE(mpd_run_pause(server.control(), true));
    ASSERT_TRUE(mpd_run_sticker_set(server.control(), "song", "02 Beta.flac", "rating", "6"));
    poll(); // connects and learns what a poll needs
    long before = player->roundTrips();
    poll();
    EXPECT_EQ(player->roundTrips() - before, 1);
    before = player->roundTrips();
    poll();
    EXPECT_EQ(player->roundTrips() - before, 1);
    // What the snapshot answered from its guesses is what the server has.
    EXPECT_EQ(text("return rating of current track"), "60");
    EXPECT_EQ(text("return name of track ((get index of current track) + 1) of current playlist"), "Gamma Song");
    EXPECT_EQ(player->roundTrips() - before, 1);

    // A new song costs the next entry and the rating once more.
    ASSERT_TRUE(mpd_run_next(server.control()));
    before = player->roundTrips();
    poll();
    EXPECT_LE(player->roundTrips() - before, 3);
    before = player->roundTrips();
    poll();
    EXPECT_EQ(player->roundTrips() - before, 1);
}

TEST_F(MpdPlayerTest, ServerInTheWorkspaceWhileItAnswers)
{
    EXPECT_TRUE(guarded("return 1").value() == Value::integer(1));
    EXPECT_TRUE(kit::Workspace::sharedWorkspace().application("iTunes"));
    server.stop();
    begin();
    auto gone = guarded("return 1");
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone.value().isMissing());
}

TEST_F(MpdPlayerTest, AServerThatGoesAwayMidPollFailsTheRestAsNotRunning)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 0));
    begin();
    EXPECT_EQ(text("return name of current track"), "Alpha Song");
    // The snapshot of this poll has been read; a command reaches the server.
    server.stop();
    auto next = tell("next track");
    ASSERT_FALSE(next);
    EXPECT_EQ(next.error().number, errc::AppNotRunning);
    auto name = guarded("return name of track 2 of current playlist");
    EXPECT_TRUE(!name || name.value().isMissing());
    begin();
    EXPECT_FALSE(player->isRunning());
}

TEST_F(MpdPlayerTest, ReconnectsAfterTheServerRestarts)
{
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 2));
    poll();
    std::string error;
    ASSERT_TRUE(server.restart(&error)) << error;
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 0));
    begin();
    EXPECT_EQ(text("return name of current track"), "Alpha Song");
}

TEST_F(MpdPlayerTest, AServerThatNeverAnswersCostsOneBoundedWaitPerPoll)
{
    testing_support::SilentPeer peer;
    ASSERT_NE(peer.port(), 0u);
    install("127.0.0.1:" + std::to_string(peer.port()), MpdConnection::kDefaultTimeoutMs);

    for (int round = 0; round < 2; ++round) {
        const long before = player->roundTrips();
        // Wall time on the real clock, as an upper bound only.
        const auto start = std::chrono::steady_clock::now();
        poll(PollBudget::startingNow());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::milliseconds(250));
        // One attempt per poll, then nothing until the next.
        EXPECT_EQ(player->roundTrips() - before, 1);
        EXPECT_FALSE(player->isRunning());
    }
    auto r = tell("return name of current track");
    ASSERT_FALSE(r);
}

TEST_F(MpdPlayerTest, EachPollEndsWithinItsBudgetWhateverThePeerDoes)
{
    using Mode = testing_support::FakeMpd::Mode;
    for (const Mode mode : {Mode::Stall, Mode::HalfAnswer, Mode::Slow, Mode::Drip, Mode::Flood, Mode::Garbage}) {
        SCOPED_TRACE(int(mode));
        testing_support::FakeMpd peer(mode);
        // A per-question limit as long as the client library's own: the
        // poll's budget alone has to end the wait.
        install(peer.address(), 1000);
        for (int round = 0; round < 3; ++round) {
            // Wall time on the real clock, as an upper bound only.
            const auto start = std::chrono::steady_clock::now();
            poll(PollBudget::startingNow());
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        }
        // A command has a budget of its own, and keeps to it too.
        const auto start = std::chrono::steady_clock::now();
        player->beginPoll();
        tell("next track");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        // A slow server that answers within the budget is still read: the
        // next poll asks for what the last one missed along with the status.
        if (mode == Mode::Slow) {
            bool read = false;
            for (int round = 0; round < 3 && !read; ++round) {
                player->beginPoll();
                read = text("return name of current track") == "Fake One";
            }
            EXPECT_TRUE(read);
        }
    }
}

TEST_F(MpdPlayerTest, NumbersAndTextsFromTheServerAreKeptInBounds)
{
    using testing_support::FakeMpd;
    {
        // A current song far past the queue's end is none; a position past
        // the song's end is its end.
        std::string status = FakeMpd::defaultStatus();
        status.replace(status.find("song: 0"), 7, "song: 2147483647");
        status.replace(status.find("elapsed: 10.000"), 15, "elapsed: 2147483.647");
        FakeMpd peer(FakeMpd::Mode::Whole, status);
        install(peer.address());
        EXPECT_EQ(text("return name of current track"), "Fake One");
        EXPECT_EQ(text("return (player position) / (duration of current track)"), "1.0");
        std::string song = FakeMpd::defaultSong();
        song.replace(song.find("Pos: 0"), 6, "Pos: 2147483647");
        FakeMpd far(FakeMpd::Mode::Whole, status, song);
        install(far.address());
        EXPECT_FALSE(tell("return name of current track"));
        EXPECT_FALSE(tell("return name of track ((get index of current track) + 1) of current playlist"));
    }
    {
        // A song with 40,000 tags and a title of 10,000 combining marks is
        // read, and quickly.
        std::string title = "A";
        for (int i = 0; i < 10000; ++i)
            title += "\xcc\x81";
        std::string song = "file: many.flac\nTitle: " + title + "\n";
        for (int i = 0; i < 40000; ++i)
            song += "Artist: Artist " + std::to_string(i) + "\n";
        song += "Pos: 0\n";
        FakeMpd peer(FakeMpd::Mode::Whole, FakeMpd::defaultStatus(), song);
        install(peer.address(), MpdConnection::kDefaultTimeoutMs);
        const auto start = std::chrono::steady_clock::now();
        poll(PollBudget::startingNow());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        EXPECT_TRUE(text("return name of current track") == title); // not printed: 20 kB
        EXPECT_EQ(text("return artist of current track"), "Artist 0");
    }
}

TEST_F(MpdPlayerTest, AHostNameIsLookedUpWithinTheBudgetAndItsLastAddressKept)
{
    // A name service the test holds up at will.
    struct NameService {
        std::mutex mutex;
        std::condition_variable changed;
        bool answering = false;
        unsigned port = 0;
    };
    auto service = std::make_shared<NameService>();
    service->port = server.port();
    auto hold = [service](bool answering) {
        std::lock_guard<std::mutex> lock(service->mutex);
        service->answering = answering;
        service->changed.notify_all();
    };
    install("music.test:" + std::to_string(server.port()), MpdConnection::kDefaultTimeoutMs);
    player->setResolver([service](const std::string& host, unsigned port) {
        std::unique_lock<std::mutex> lock(service->mutex);
        service->changed.wait(lock, [&] { return service->answering; });
        EXPECT_EQ(host, "music.test");
        return MpdConnection::systemResolver("127.0.0.1", port);
    });
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 0));

    // While the name service is silent the poll ends on time, and the
    // player is not there.
    for (int round = 0; round < 2; ++round) {
        const auto start = std::chrono::steady_clock::now();
        poll(PollBudget::startingNow());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        EXPECT_FALSE(player->isRunning());
    }
    // Its answer is picked up by a later poll.
    hold(true);
    begin();
    EXPECT_EQ(text("return name of current track"), "Alpha Song");

    // Silent again: the connection that drops is made again to the address
    // the name had last.
    hold(false);
    std::string error;
    ASSERT_TRUE(server.restart(&error)) << error;
    ASSERT_TRUE(mpd_run_play_pos(server.control(), 1));
    player->beginPoll();
    EXPECT_EQ(text("return name of current track"), "Beta Song");
    hold(true);
}

TEST_F(MpdPlayerTest, LaunchStartsTheUsersServerOnlyWhenAsked)
{
    std::vector<std::string> launched;
    kit::Task::setLauncher([&](const std::string& path, const std::vector<std::string>& args) {
        launched.push_back(path);
        for (const auto& a : args)
            launched.push_back(a);
        return true;
    });
    // A user unit, a configuration and both programs.
    const std::string root = tempDir() + "/machine";
    for (const char* folder : {"/units", "/bin"})
        std::filesystem::create_directories(root + folder);
    testing_support::writeFile(root + "/units/mpd.service", "[Service]\n");
    testing_support::writeFile(root + "/mpd.conf", "port \"6600\"\n");
    for (const char* program : {"mpd", "systemctl"}) {
        testing_support::writeFile(root + "/bin/" + program, "#!/bin/sh\n");
        std::filesystem::permissions(root + "/bin/" + program, std::filesystem::perms::owner_all);
    }
    MpdLauncher machine{{root + "/nothing", root + "/units"}, {root + "/mpd.conf"}, {root + "/bin"}};
    install("127.0.0.1:" + std::to_string(testing_support::freeLocalPort()));
    player->setLauncher(machine);

    // A script's own launch before an event does not start servers.
    auto r = tell("play");
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().number, errc::AppNotRunning);
    EXPECT_TRUE(launched.empty());

    EXPECT_TRUE(kit::Workspace::sharedWorkspace().launchApplication("iTunes"));
    EXPECT_EQ(launched, (std::vector<std::string>{"/bin/sh", "-c",
                                                  "systemctl --user start mpd.service 2>/dev/null || exec mpd"}));
    EXPECT_EQ(player->launchProblem(), "");

    // Without a unit: the mpd program, which reads the configuration.
    launched.clear();
    machine.unitFolders.clear();
    player->setLauncher(machine);
    EXPECT_TRUE(player->launchApplication());
    EXPECT_EQ(launched, (std::vector<std::string>{root + "/bin/mpd"}));

    // A configuration without the program, then neither unit nor
    // configuration: nothing is run and the player says why.
    launched.clear();
    std::filesystem::remove(root + "/bin/mpd");
    player->setLauncher(machine);
    EXPECT_FALSE(player->launchApplication());
    EXPECT_EQ(player->launchProblem(), "The mpd program is not installed.");
    machine.configFiles.clear();
    player->setLauncher(machine);
    EXPECT_FALSE(kit::Workspace::sharedWorkspace().launchApplication("iTunes"));
    EXPECT_NE(player->launchProblem().find("no systemd user unit (mpd.service) and no configuration file"),
              std::string::npos)
        << player->launchProblem();
    EXPECT_TRUE(launched.empty());
    // The engine's own launch reports no stale reason.
    player->launch();
    EXPECT_EQ(player->launchProblem(), "");

    // A server elsewhere is not this machine's to start.
    install("192.0.2.1:6600", MpdConnection::kDefaultTimeoutMs);
    EXPECT_FALSE(player->launchApplication());
    EXPECT_NE(player->launchProblem().find("another machine"), std::string::npos);
    EXPECT_TRUE(launched.empty());
    kit::Task::setLauncher(nullptr);
}

} // namespace
} // namespace players
