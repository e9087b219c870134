// What the golden files cannot show: the effects of scripts on the player,
// when applications get launched, compiling once and running many times,
// and sources built to break the engine.

#include "FakeApplications.h"
#include "script/Script.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string golden(const std::string& name)
{
    std::ifstream in(std::filesystem::path(ZINTARA_SCRIPT_TESTDATA) / (name + ".applescript"), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string slot(int n)
{
    char name[16];
    std::snprintf(name, sizeof name, "table-%02d", n);
    return golden(name);
}

std::optional<std::string> run(const std::string& source, fake::World& world)
{
    auto r = script::Script(source, world.apps).execute();
    EXPECT_TRUE(r.ok()) << r.error().number << " " << r.error().message;
    return r ? r.value().stringValue() : std::nullopt;
}

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(Engine, NoTableScriptTouchesAStoppedPlayer)
{
    for (int n = 0; n < 20; ++n) {
        SCOPED_TRACE(n);
        fake::World world;
        world.player.running = false;
        script::Script s(slot(n), world.apps);
        ASSERT_EQ(s.compile(), std::nullopt);
        auto r = s.execute();
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r.value().typeCode(), 0u);
        EXPECT_EQ(world.player.launches, 0);
        EXPECT_EQ(world.player.events, 0);
    }
}

TEST(Engine, RatingScriptLaunchesTheStoppedPlayerAndSetsTheRating)
{
    fake::World world;
    world.player.running = false;
    script::Script s(golden("rating-3"), world.apps);
    ASSERT_EQ(s.compile(), std::nullopt);
    EXPECT_EQ(world.player.launches, 0) << "compiling must not launch";
    ASSERT_TRUE(s.execute().ok());
    EXPECT_EQ(world.player.launches, 1);
    EXPECT_EQ(world.player.playlist[1].rating, 60);
    EXPECT_EQ(run(slot(19), world), "60");
}

TEST(Engine, AnApplicationThatWillNotStartFailsTheEvent)
{
    fake::World world;
    world.player.running = false;
    world.player.canLaunch = false;
    auto r = script::Script(golden("rating-5"), world.apps).execute();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, script::errc::AppNotRunning);
    EXPECT_EQ(r.error().message, "iTunes isn't running.");
    EXPECT_EQ(world.player.events, 0);

    // An application that knows why it did not start says so instead.
    world.player.launchFailure = "Cannot start it: nothing is installed to start it.";
    r = script::Script(golden("rating-5"), world.apps).execute();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, script::errc::AppNotRunning);
    EXPECT_EQ(r.error().message, world.player.launchFailure);
}

TEST(Engine, CommandSlotsDriveThePlayer)
{
    fake::World world;
    EXPECT_EQ(run(slot(0), world), std::nullopt);
    EXPECT_EQ(world.player.state, "paused");
    EXPECT_EQ(run(slot(4), world), "YN2");
    run(slot(0), world);
    EXPECT_EQ(world.player.state, "playing");

    run(slot(11), world);
    EXPECT_EQ(world.player.current, 3u);
    EXPECT_EQ(run(slot(1), world), "Coda");
    run(slot(12), world);
    run(slot(12), world);
    EXPECT_EQ(run(slot(8), world), "(1 of 3)");

    run(slot(14), world);
    EXPECT_TRUE(world.player.shuffle);
    run(slot(17), world);
    EXPECT_EQ(world.player.songRepeat, "one");
    EXPECT_EQ(run(slot(4), world), "NY1");
    run(slot(16), world);
    EXPECT_EQ(world.player.songRepeat, "off");
    run(slot(15), world);
    EXPECT_EQ(run(slot(4), world), "NN0");
    run(slot(18), world);
    EXPECT_EQ(world.player.songRepeat, "all");

    run(slot(13), world);
    EXPECT_FALSE(world.player.running);
    EXPECT_EQ(world.player.commands,
              (std::vector<std::string>{"pause", "play", "next track", "previous track", "previous track", "quit"}));
    // Quit, the player is left alone by every query.
    EXPECT_EQ(run(slot(1), world), std::nullopt);
    EXPECT_EQ(world.player.launches, 0);
}

TEST(Engine, QueriesFailWithoutTheirObject)
{
    fake::World world;
    world.player.playlist[1].duration = 0.0;
    auto r = script::Script(slot(10), world.apps).execute();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, script::errc::DivisionByZero);

    world.player.current = 0; // nothing playing
    for (int n : {1, 5, 8, 9, 19}) {
        auto q = script::Script(slot(n), world.apps).execute();
        ASSERT_FALSE(q.ok()) << n;
        EXPECT_EQ(q.error().number, script::errc::CantGet);
        EXPECT_EQ(q.error().message.rfind("iTunes got an error: ", 0), 0u) << q.error().message;
    }
}

TEST(Engine, CompiledOnceRunsManyTimesWithFreshVariables)
{
    fake::World world;
    script::Script s("tell application \"iTunes\"\n"
                     "if player state is playing then set seen to \"yes\"\n"
                     "return seen\n"
                     "end tell",
                     world.apps);
    EXPECT_FALSE(s.isCompiled());
    ASSERT_EQ(s.compile(), std::nullopt);
    ASSERT_TRUE(s.isCompiled());
    EXPECT_EQ(s.compile(), std::nullopt);
    EXPECT_EQ(s.execute().value().stringValue(), "yes");

    world.player.state = "paused";
    auto second = s.execute();
    ASSERT_FALSE(second.ok()) << "a variable survived from the first run";
    EXPECT_EQ(second.error().number, script::errc::UndefinedVariable);
}

TEST(Engine, AFailedCompileIsReportedByEveryRun)
{
    fake::World world;
    script::Script s("tell application \"iTunes\"\nplay\nend if", world.apps);
    auto e = s.compile();
    ASSERT_TRUE(e.has_value());
    EXPECT_FALSE(s.isCompiled());
    auto r = s.execute();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, e->number);
    EXPECT_EQ(r.error().line, 3);
    EXPECT_TRUE(world.player.commands.empty());
}

TEST(Engine, NestingBombsAreRefusedNotFollowed)
{
    const int n = 20000;
    const std::string tell = "tell application \"iTunes\" to ";
    const std::string sources[] = {
        "return " + repeat("(", n) + "1" + repeat(")", n),
        "return " + repeat("not ", n) + "true",
        "return " + repeat("- ", n) + "1",
        "return " + repeat("get ", n) + "1",
        "return 1" + repeat(" + 1", n),
        "return \"\"" + repeat(" & 1", n),
        "return 2" + repeat(" ^ 2", n),
        "return 1" + repeat(" as text", n),
        tell + "return " + repeat("name of ", n) + "current track",
        tell + "return name of " + repeat("track ", n) + "1",
        tell + repeat("play ", n),
        repeat(tell, n) + "play",
        repeat("if true then\n", n) + "return 1",
        repeat("if true then ", n) + "return 1",
    };
    for (const std::string& source : sources) {
        fake::World world;
        auto r = script::Script(source, world.apps).execute();
        ASSERT_FALSE(r.ok()) << source.substr(0, 40);
        EXPECT_EQ(r.error().number, script::errc::StackOverflow) << source.substr(0, 40);
        EXPECT_GT(r.error().line, 0);
        EXPECT_TRUE(world.player.commands.empty());
    }

    // Nesting a script could plausibly need still works.
    fake::World world;
    EXPECT_EQ(run("return " + repeat("(", 60) + "1 + 1" + repeat(")", 60), world), "2");
    EXPECT_EQ(run("return 0" + repeat(" + 1", 150), world), "150");
}

TEST(Engine, LongFlatScriptsRun)
{
    fake::World world;
    EXPECT_EQ(run("set x to 0\n" + repeat("set x to x + 1\n", 20000) + "return x", world), "20000");
}

TEST(Engine, TextCannotGrowWithoutBound)
{
    fake::World world;
    auto started = std::chrono::steady_clock::now();
    auto r = script::Script("set a to \"0123456789abcdef\"\n" + repeat("set a to a & a\n", 64) + "return a", world.apps)
                 .execute();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().number, script::errc::OutOfMemory);
    // Not a timing test: doubling to 2^64 bytes would never finish at all.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

} // namespace
