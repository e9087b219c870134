#include "players/BuiltinPlayer.h"
#include "players/PlayerDirectory.h"
#include "players/PlayerFactory.h"
#include "players/SystemEvents.h"

#include "kit/Workspace.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace players {
namespace {

using script::ObjectSpecifier;
using script::Reference;
using script::Value;
namespace errc = script::errc;

Reference prop(const std::string& term)
{
    return Reference{Reference::Kind::Property, term, 0, {}};
}

Reference item(const std::string& term, std::int64_t index)
{
    return Reference{Reference::Kind::ElementByIndex, term, index, {}};
}

Reference named(const std::string& term, const std::string& name)
{
    return Reference{Reference::Kind::ElementByName, term, 0, name};
}

ObjectSpecifier at(std::vector<Reference> path)
{
    return ObjectSpecifier{"iTunes", std::move(path)};
}

class BuiltinPlayerTest : public testing_support::KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        Library lib;
        lib.running = true;
        lib.playerState = PlayerState::Playing;
        lib.currentTrack = 2;
        lib.playerPosition = 30;
        lib.tracks = {
            {"Alpha", "Ann", "First", 1, 3, 100, 20},
            {"Beta", "Bob", "First", 2, 3, 200, 80},
            {"Gamma", "Cy", "Second", 3, 3, 300, 0},
        };
        app = std::make_unique<BuiltinPlayer>("iTunes", std::move(lib), 3);
    }

    Value get(std::vector<Reference> path)
    {
        auto r = app->get(at(std::move(path)));
        if (!r) {
            ADD_FAILURE() << r.error().number << " " << r.error().message;
            return {};
        }
        return r.value();
    }

    int getError(std::vector<Reference> path)
    {
        auto r = app->get(at(std::move(path)));
        return r ? 0 : r.error().number;
    }

    int setError(std::vector<Reference> path, const Value& v)
    {
        auto r = app->set(at(std::move(path)), v);
        return r ? 0 : r.error().number;
    }

    std::unique_ptr<BuiltinPlayer> app;
};

TEST_F(BuiltinPlayerTest, AnswersTheTermsWithTheirTypes)
{
    EXPECT_EQ(get({prop("player state")}), Value::constant("playing"));
    EXPECT_EQ(get({prop("player position")}), Value::real(30));
    EXPECT_EQ(get({prop("current track"), prop("name")}), Value::text("Beta"));
    EXPECT_EQ(get({prop("current track"), prop("artist")}), Value::text("Bob"));
    EXPECT_EQ(get({prop("current track"), prop("album")}), Value::text("First"));
    EXPECT_EQ(get({prop("current track"), prop("track number")}), Value::integer(2));
    EXPECT_EQ(get({prop("current track"), prop("track count")}), Value::integer(3));
    EXPECT_EQ(get({prop("current track"), prop("duration")}), Value::real(200));
    EXPECT_EQ(get({prop("current track"), prop("rating")}), Value::integer(80));
    EXPECT_EQ(get({prop("current track"), prop("index")}), Value::integer(2));
    EXPECT_EQ(get({prop("current playlist"), prop("shuffle")}), Value::boolean(false));
    EXPECT_EQ(get({prop("current playlist"), prop("song repeat")}), Value::constant("off"));
    EXPECT_EQ(get({prop("current playlist"), item("track", 3), prop("name")}), Value::text("Gamma"));
    EXPECT_EQ(get({prop("current playlist"), item("track", -1), prop("name")}), Value::text("Gamma"));
    EXPECT_EQ(get({prop("current playlist"), named("track", "Alpha"), prop("index")}), Value::integer(1));

    clock.advance(12.5);
    EXPECT_EQ(get({prop("player position")}), Value::real(42.5));
}

TEST_F(BuiltinPlayerTest, ObjectsResolveToSpecifiersThatCanBeAskedAgain)
{
    const Value track = get({prop("current track")});
    ASSERT_EQ(track.type(), Value::Type::Object);
    ObjectSpecifier object = track.asObject();
    EXPECT_EQ(object, at({item("playlist", 1), item("track", 2)}));
    // The reference names the track, not "whatever is current".
    app->command("next track", std::nullopt);
    object.path.push_back(prop("name"));
    EXPECT_EQ(app->get(object).value(), Value::text("Beta"));

    EXPECT_EQ(get({prop("current playlist")}).asObject(), at({item("playlist", 1)}));
    EXPECT_EQ(get({}).asObject(), at({}));
}

TEST_F(BuiltinPlayerTest, MissingObjectsAreCantGet)
{
    EXPECT_EQ(getError({prop("current playlist"), item("track", 4), prop("name")}), errc::CantGet);
    EXPECT_EQ(getError({prop("current playlist"), item("track", 0)}), errc::CantGet);
    EXPECT_EQ(getError({prop("current playlist"), item("track", -4)}), errc::CantGet);
    EXPECT_EQ(getError({prop("current playlist"), named("track", "Delta")}), errc::CantGet);
    EXPECT_EQ(getError({prop("current track"), prop("shuffle")}), errc::CantGet);
    EXPECT_EQ(getError({prop("name"), prop("name")}), errc::CantGet);
    auto r = app->get(at({prop("current playlist"), item("track", 4), prop("name")}));
    EXPECT_EQ(r.error().message, "Can't get track 4 of current playlist.");

    app->command("stop", std::nullopt);
    EXPECT_EQ(get({prop("player state")}), Value::constant("stopped"));
    EXPECT_EQ(getError({prop("current track")}), errc::CantGet);
    EXPECT_EQ(getError({prop("current track"), prop("index")}), errc::CantGet);
    EXPECT_FALSE(app->exists(at({prop("current track")})).value());
    // The playlist and its settings remain.
    EXPECT_EQ(get({prop("current playlist"), prop("shuffle")}), Value::boolean(false));
    EXPECT_TRUE(app->exists(at({prop("current playlist"), item("track", 3)})).value());
}

TEST_F(BuiltinPlayerTest, SettingClampsRatingsAndChecksTypes)
{
    const std::vector<Reference> rating{prop("current track"), prop("rating")};
    EXPECT_EQ(setError(rating, Value::integer(60)), 0);
    EXPECT_EQ(get(rating), Value::integer(60));
    EXPECT_EQ(setError(rating, Value::integer(150)), 0);
    EXPECT_EQ(get(rating), Value::integer(100));
    EXPECT_EQ(setError(rating, Value::integer(-5)), 0);
    EXPECT_EQ(get(rating), Value::integer(0));
    EXPECT_EQ(setError(rating, Value::real(39.6)), 0);
    EXPECT_EQ(get(rating), Value::integer(40));
    EXPECT_EQ(setError(rating, Value::text("high")), errc::CantMakeType);

    EXPECT_EQ(setError({prop("current playlist"), prop("shuffle")}, Value::boolean(true)), 0);
    EXPECT_EQ(get({prop("current playlist"), prop("shuffle")}), Value::boolean(true));
    EXPECT_EQ(setError({prop("current playlist"), prop("shuffle")}, Value::integer(1)), errc::CantMakeType);
    EXPECT_EQ(setError({prop("current playlist"), prop("song repeat")}, Value::constant("all")), 0);
    EXPECT_EQ(get({prop("current playlist"), prop("song repeat")}), Value::constant("all"));
    EXPECT_EQ(setError({prop("current playlist"), prop("song repeat")}, Value::constant("twice")), errc::CantMakeType);

    EXPECT_EQ(setError({prop("current track"), prop("name")}, Value::text("Beta II")), 0);
    EXPECT_EQ(get({prop("current playlist"), item("track", 2), prop("name")}), Value::text("Beta II"));
    EXPECT_EQ(setError({prop("player position")}, Value::integer(500)), 0);
    EXPECT_EQ(get({prop("player position")}), Value::real(0)); // clamped to the end: track 3 begins
    EXPECT_EQ(get({prop("current track"), prop("index")}), Value::integer(3));

    EXPECT_EQ(setError({prop("current track"), prop("duration")}, Value::real(5)), errc::CantSet);
    EXPECT_EQ(setError({prop("player state")}, Value::constant("paused")), errc::CantSet);
    EXPECT_EQ(setError({prop("current track")}, Value::integer(1)), errc::CantSet);
}

TEST_F(BuiltinPlayerTest, CommandsAndANotRunningPlayer)
{
    app->command("pause", std::nullopt);
    EXPECT_EQ(get({prop("player state")}), Value::constant("paused"));
    app->command("playpause", std::nullopt);
    EXPECT_EQ(get({prop("player state")}), Value::constant("playing"));
    app->command("play", at({prop("current playlist"), item("track", 3)}));
    EXPECT_EQ(get({prop("current track"), prop("name")}), Value::text("Gamma"));
    EXPECT_EQ(app->command("rewind", std::nullopt).error().number, errc::DoesNotUnderstand);

    app->command("quit", std::nullopt);
    EXPECT_FALSE(app->isRunning());
    EXPECT_EQ(getError({prop("player state")}), errc::AppNotRunning);
    EXPECT_EQ(setError({prop("current track"), prop("rating")}, Value::integer(20)), errc::AppNotRunning);
    EXPECT_EQ(app->command("play", std::nullopt).error().number, errc::AppNotRunning);
    EXPECT_EQ(app->exists(at({prop("current track")})).error().number, errc::AppNotRunning);

    app->launch();
    EXPECT_EQ(get({prop("player state")}), Value::constant("playing"));
    EXPECT_EQ(get({prop("current track"), prop("name")}), Value::text("Gamma"));
}

TEST_F(BuiltinPlayerTest, SystemEventsListsTheWorkspace)
{
    SystemEvents events;
    auto exists = [&](const std::string& name) {
        return events.exists(ObjectSpecifier{"System Events", {named("process", name)}}).value();
    };
    EXPECT_TRUE(exists("iTunes"));
    EXPECT_TRUE(exists("Zintara")); // the program itself
    EXPECT_FALSE(exists("itunes")); // exact names
    EXPECT_FALSE(exists("Music"));
    app->command("quit", std::nullopt);
    EXPECT_FALSE(exists("iTunes"));

    auto name = events.get(ObjectSpecifier{"System Events", {item("process", 1), prop("name")}});
    EXPECT_EQ(name.value(), Value::text("Zintara"));
    EXPECT_EQ(events.get(ObjectSpecifier{"System Events", {named("process", "iTunes")}}).error().number,
        errc::CantGet);
}

TEST_F(BuiltinPlayerTest, DirectoryFindsApplicationsWithoutRegardToCase)
{
    app.reset();
    PlayerOptions options;
    options.shuffleSeed = 1;
    auto made = PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PlayerDirectory>>(made));
    auto& directory = *std::get<std::unique_ptr<PlayerDirectory>>(made);
    ASSERT_NE(directory.player(), nullptr);
    EXPECT_EQ(directory.find("itunes"), directory.player());
    EXPECT_EQ(directory.find("ITUNES"), directory.player());
    EXPECT_EQ(directory.find("system events"), &directory.systemEvents());
    EXPECT_EQ(directory.find("iTune"), nullptr);
    EXPECT_EQ(directory.find(""), nullptr);

    // The demo playlist waits to be launched.
    script::ScriptableApplication& player = *directory.player();
    EXPECT_FALSE(player.isRunning());
    player.launch();
    auto name = player.get(at({prop("current track"), prop("name")}));
    ASSERT_TRUE(name.ok());
    EXPECT_FALSE(name.value().asText().empty());
}

TEST_F(BuiltinPlayerTest, FactoryRefusesUnknownPlayersAndBadLibraries)
{
    app.reset();
    PlayerOptions options;
    options.player = "winamp:6600";
    auto unknown = PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::string>(unknown));
    EXPECT_NE(std::get<std::string>(unknown).find("unknown player"), std::string::npos);

    options.player = "builtin";
    options.libraryPath = tempDir() + "/library.json";
    testing_support::writeFile(options.libraryPath, "{\"running\": true,\n \"tracks\": [{\"name\": \"Solo\"}],}");
    auto bad = PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_EQ(std::get<std::string>(bad).rfind(options.libraryPath + ":2:31: ", 0), 0u) << std::get<std::string>(bad);
    EXPECT_EQ(kit::Workspace::sharedWorkspace().application("iTunes"), nullptr); // nothing half-built

    testing_support::writeFile(options.libraryPath, "{\"running\": true, \"tracks\": [{\"name\": \"Solo\"}]}");
    auto good = PlayerFactory::make(options);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<PlayerDirectory>>(good));
    script::ScriptableApplication& player = *std::get<std::unique_ptr<PlayerDirectory>>(good)->player();
    EXPECT_TRUE(player.isRunning());
    EXPECT_EQ(player.get(at({prop("current track"), prop("name")})).value(), Value::text("Solo"));
}

} // namespace
} // namespace players
