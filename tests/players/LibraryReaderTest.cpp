#include "players/LibraryReader.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace players {
namespace {

Library readOk(const std::string& text)
{
    auto result = LibraryReader::read(text, "lib.json");
    if (auto* error = std::get_if<LibraryError>(&result)) {
        ADD_FAILURE() << "refused: " << error->text();
        return {};
    }
    return std::get<Library>(result);
}

LibraryError readFail(const std::string& text)
{
    auto result = LibraryReader::read(text, "lib.json");
    if (auto* error = std::get_if<LibraryError>(&result))
        return *error;
    ADD_FAILURE() << "accepted: " << text;
    return {};
}

TEST(LibraryReader, ReadsEveryField)
{
    const Library lib = readOk(R"({
  "running": true, "playerState": "paused", "currentTrack": 2, "playerPosition": 12.5,
  "shuffle": true, "songRepeat": "one",
  "tracks": [
    {"name": "A", "artist": "B", "album": "C", "trackNumber": 3, "trackCount": 12, "duration": 200, "rating": 80},
    {"name": "D", "duration": 100.25}
  ]
})");
    EXPECT_TRUE(lib.running);
    EXPECT_EQ(lib.playerState, PlayerState::Paused);
    EXPECT_EQ(lib.currentTrack, 2u);
    EXPECT_DOUBLE_EQ(lib.playerPosition, 12.5);
    EXPECT_TRUE(lib.shuffle);
    EXPECT_EQ(lib.songRepeat, SongRepeat::One);
    ASSERT_EQ(lib.tracks.size(), 2u);
    const Track& t = lib.tracks[0];
    EXPECT_EQ(t.name, "A");
    EXPECT_EQ(t.artist, "B");
    EXPECT_EQ(t.album, "C");
    EXPECT_EQ(t.trackNumber, 3);
    EXPECT_EQ(t.trackCount, 12);
    EXPECT_DOUBLE_EQ(t.duration, 200.0);
    EXPECT_EQ(t.rating, 80);
    EXPECT_EQ(lib.tracks[1].artist, "");
    EXPECT_DOUBLE_EQ(lib.tracks[1].duration, 100.25);
}

TEST(LibraryReader, MissingFieldsTakeConsistentDefaults)
{
    const Library empty = readOk("{}");
    EXPECT_FALSE(empty.running);
    EXPECT_EQ(empty.playerState, PlayerState::Stopped);
    EXPECT_EQ(empty.currentTrack, 0u);
    EXPECT_EQ(empty.songRepeat, SongRepeat::Off);
    EXPECT_TRUE(empty.tracks.empty());

    // A running player with tracks plays its first, as a launched one does.
    const Library running = readOk(R"({"running": true, "tracks": [{"name": "x"}]})");
    EXPECT_EQ(running.playerState, PlayerState::Playing);
    EXPECT_EQ(running.currentTrack, 1u);

    const Library cued = readOk(R"({"currentTrack": 2, "tracks": [{}, {}]})");
    EXPECT_EQ(cued.playerState, PlayerState::Playing);
    EXPECT_EQ(cued.currentTrack, 2u);

    const Library paused = readOk(R"({"playerState": "paused", "tracks": [{}]})");
    EXPECT_EQ(paused.currentTrack, 1u);

    // Running with nothing to play is merely stopped.
    EXPECT_EQ(readOk(R"({"running": true})").playerState, PlayerState::Stopped);
}

TEST(LibraryReader, IgnoresUnknownFieldsAndAcceptsByteOrderMark)
{
    const Library lib = readOk("\xEF\xBB\xBF{\"comment\": [1, {\"x\": null}], \"tracks\": [{\"name\": \"a\", \"bpm\": 120}]}");
    ASSERT_EQ(lib.tracks.size(), 1u);
    EXPECT_EQ(lib.tracks[0].name, "a");
}

TEST(LibraryReader, DecodesEscapesIntoUtf8)
{
    const Library lib = readOk(R"({"tracks": [{"name": "Caf\u00e9 \"Nuit\" \ud83c\udfb5", "artist": "Bj\u00f6rk\/\t"}]})");
    EXPECT_EQ(lib.tracks[0].name, "Caf\xC3\xA9 \"Nuit\" \xF0\x9F\x8E\xB5");
    EXPECT_EQ(lib.tracks[0].artist, "Bj\xC3\xB6rk/\t");
}

TEST(LibraryReader, SyntaxFaultsGiveFileLineAndColumn)
{
    struct Case {
        const char* text;
        int line, column;
        const char* words;
    };
    const Case cases[] = {
        {"{\n  \"running\": true\n  \"shuffle\": true\n}", 3, 3, "expected ',' or '}'"},
        {"{\"tracks\": [{\"name\": \"a\"},]}", 1, 27, "expected a value"},
        {"{\"tracks\": [{\"name\": \"open}]}", 1, 22, "unterminated string"},
        {"{\"running\": tru}", 1, 13, "expected a value"},
        {"{\"running\": true} x", 1, 19, "after the end"},
        {"", 1, 1, "end of file"},
        {"{\"a\": 01}", 1, 7, "leading zero"},
        {"{\"a\": 1, \"a\": 2}", 1, 10, "duplicate key"},
        {"{\"a\": \"\\x\"}", 1, 8, "invalid escape"},
        {"{\"a\": \"\\udc00\"}", 1, 8, "surrogate"},
        {"{\"a\": 1e999}", 1, 7, "out of range"},
        // Columns count characters, not bytes: "é" is one column.
        {"{\"n\": \"\xC3\xA9\xC3\xA9\", x}", 1, 13, "expected a key"},
        {"{\"n\": \"\xC3\x28\"}", 1, 8, "invalid UTF-8"},
        {"{\"n\": \"\xED\xA0\x80\"}", 1, 8, "invalid UTF-8"}, // an encoded surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LibraryError e = readFail(c.text);
        EXPECT_EQ(e.file, "lib.json");
        EXPECT_EQ(e.line, c.line);
        EXPECT_EQ(e.column, c.column);
        EXPECT_NE(e.message.find(c.words), std::string::npos) << e.message;
        EXPECT_EQ(e.text().rfind("lib.json:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ", 0), 0u)
            << e.text();
    }
}

TEST(LibraryReader, WrongValuesNameTheFieldAtTheValue)
{
    struct Case {
        const char* text;
        int column;
        const char* words;
    };
    const Case cases[] = {
        {R"({"running": "yes"})", 13, "\"running\" must be true or false"},
        {R"({"playerState": "spinning"})", 17, "\"playerState\" must be"},
        {R"({"songRepeat": 2})", 16, "\"songRepeat\" must be"},
        {R"({"tracks": {"name": "x"}})", 12, "\"tracks\" must be a list"},
        {R"({"tracks": [{}, "x"]})", 17, "track 2 must be an object"},
        {R"({"tracks": [{"rating": 120}]})", 24, "\"rating\" must be a whole number from 0 to 100"},
        {R"({"tracks": [{"rating": 50.5}]})", 24, "\"rating\" must be a whole number"},
        {R"({"tracks": [{"duration": -1}]})", 26, "\"duration\" must be a number of seconds"},
        {R"({"tracks": [{"name": 7}]})", 22, "\"name\" must be a text"},
        {R"({"tracks": [{"trackNumber": null}]})", 29, "\"trackNumber\" must be a whole number"},
        {R"({"currentTrack": 3, "tracks": [{}, {}]})", 18, "past the last track"},
        {R"({"currentTrack": 1.5, "tracks": [{}, {}]})", 18, "\"currentTrack\" must be a whole number"},
        {R"({"playerState": "stopped", "currentTrack": 1, "tracks": [{}]})", 44, "stopped player has no current track"},
        {R"({"playerState": "playing", "currentTrack": 0, "tracks": [{}]})", 44, "contradicts"},
        {R"({"playerState": "playing"})", 17, "needs a track"},
        {R"({"playerPosition": 30, "currentTrack": 1, "tracks": [{"duration": 20}]})", 20, "beyond the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const LibraryError e = readFail(c.text);
        EXPECT_EQ(e.line, 1);
        EXPECT_EQ(e.column, c.column);
        EXPECT_NE(e.message.find(c.words), std::string::npos) << e.message;
    }
}

TEST(LibraryReader, DeepNestingIsRefusedNotRecursedInto)
{
    const std::string deep = "{\"x\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    const LibraryError e = readFail(deep);
    EXPECT_NE(e.message.find("nesting"), std::string::npos) << e.message;
}

TEST(LibraryReader, ReadFileNamesTheFile)
{
    const std::string dir = ::testing::TempDir();
    const std::string good = dir + "/zintara-good-library.json";
    testing_support::writeFile(good, R"({"tracks": [{"name": "only"}]})");
    auto ok = LibraryReader::readFile(good);
    ASSERT_TRUE(std::holds_alternative<Library>(ok));
    EXPECT_EQ(std::get<Library>(ok).tracks[0].name, "only");

    const std::string bad = dir + "/zintara-bad-library.json";
    testing_support::writeFile(bad, "{\n\"tracks\": [\n{\"rating\": \"high\"}]}");
    auto refused = LibraryReader::readFile(bad);
    ASSERT_TRUE(std::holds_alternative<LibraryError>(refused));
    EXPECT_EQ(std::get<LibraryError>(refused).text(),
        bad + ":3:12: \"rating\" must be a whole number from 0 to 100");

    auto missing = LibraryReader::readFile(dir + "/zintara-no-such-library.json");
    ASSERT_TRUE(std::holds_alternative<LibraryError>(missing));
    const std::string text = std::get<LibraryError>(missing).text();
    EXPECT_EQ(text.rfind(dir + "/zintara-no-such-library.json: cannot read", 0), 0u) << text;

    auto folder = LibraryReader::readFile(dir);
    EXPECT_TRUE(std::holds_alternative<LibraryError>(folder));

    // A pipe given as the library must not block the start.
    const std::string fifo = dir + "/zintara-library-pipe.json";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto pipe = LibraryReader::readFile(fifo);
    ::unlink(fifo.c_str());
    ASSERT_TRUE(std::holds_alternative<LibraryError>(pipe));
    EXPECT_NE(std::get<LibraryError>(pipe).text().find("not a regular file"), std::string::npos);
}

} // namespace
} // namespace players
