#include "players/LibraryReader.h"

#include "players/JsonParser.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace players {

std::string LibraryError::text() const
{
    if (line <= 0)
        return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

// A fault found while converting the parsed document: where and why.
struct Fault {
    std::size_t offset;
    std::string message;
};

std::string quoted(std::string_view s)
{
    return "\"" + std::string(s) + "\"";
}

class Converter {
public:
    std::optional<Fault> fault;

    bool boolean(const JsonValue& v, std::string_view field, bool& out)
    {
        if (v.type != JsonValue::Type::Boolean)
            return reject(v, quoted(field) + " must be true or false");
        out = v.boolean;
        return true;
    }

    bool text(const JsonValue& v, std::string_view field, std::string& out)
    {
        if (v.type != JsonValue::Type::String)
            return reject(v, quoted(field) + " must be a text in double quotes");
        out = v.string;
        return true;
    }

    bool seconds(const JsonValue& v, std::string_view field, double& out)
    {
        if (v.type != JsonValue::Type::Number || v.number < 0)
            return reject(v, quoted(field) + " must be a number of seconds, 0 or more");
        out = v.number;
        return true;
    }

    bool whole(const JsonValue& v, std::string_view field, long long lo, long long hi, long long& out)
    {
        if (v.type != JsonValue::Type::Number || v.number != std::floor(v.number) || v.number < double(lo)
            || v.number > double(hi))
            return reject(v, quoted(field) + " must be a whole number from " + std::to_string(lo) + " to "
                    + std::to_string(hi));
        out = static_cast<long long>(v.number);
        return true;
    }

    bool wholeInt(const JsonValue& v, std::string_view field, int lo, int hi, int& out)
    {
        long long n;
        if (!whole(v, field, lo, hi, n))
            return false;
        out = int(n);
        return true;
    }

    bool reject(const JsonValue& v, std::string message)
    {
        fault = Fault{v.offset, std::move(message)};
        return false;
    }
};

constexpr int kMaxCount = 1000000;

bool readTrack(Converter& c, const JsonValue& v, std::size_t number, Track& t)
{
    if (v.type != JsonValue::Type::Object)
        return c.reject(v, "track " + std::to_string(number) + " must be an object {...}");
    for (const auto& [key, value] : v.members) {
        bool ok = true;
        if (key == "name")
            ok = c.text(value, key, t.name);
        else if (key == "artist")
            ok = c.text(value, key, t.artist);
        else if (key == "album")
            ok = c.text(value, key, t.album);
        else if (key == "trackNumber")
            ok = c.wholeInt(value, key, 0, kMaxCount, t.trackNumber);
        else if (key == "trackCount")
            ok = c.wholeInt(value, key, 0, kMaxCount, t.trackCount);
        else if (key == "duration")
            ok = c.seconds(value, key, t.duration);
        else if (key == "rating")
            ok = c.wholeInt(value, key, 0, 100, t.rating);
        if (!ok)
            return false;
    }
    return true;
}

bool convert(Converter& c, const JsonValue& root, Library& lib)
{
    if (root.type != JsonValue::Type::Object)
        return c.reject(root, "the library must be a JSON object {...}");

    const JsonValue* stateField = root.member("playerState");
    const JsonValue* currentField = root.member("currentTrack");
    const JsonValue* positionField = root.member("playerPosition");
    std::optional<PlayerState> state;
    long long current = 0;

    for (const auto& [key, value] : root.members) {
        bool ok = true;
        if (key == "running") {
            ok = c.boolean(value, key, lib.running);
        } else if (key == "playerState") {
            const bool isText = value.type == JsonValue::Type::String;
            if (isText && value.string == "playing")
                state = PlayerState::Playing;
            else if (isText && value.string == "paused")
                state = PlayerState::Paused;
            else if (isText && value.string == "stopped")
                state = PlayerState::Stopped;
            else
                ok = c.reject(value, "\"playerState\" must be \"playing\", \"paused\" or \"stopped\"");
        } else if (key == "currentTrack") {
            ok = c.whole(value, key, 0, kMaxCount, current);
        } else if (key == "playerPosition") {
            ok = c.seconds(value, key, lib.playerPosition);
        } else if (key == "shuffle") {
            ok = c.boolean(value, key, lib.shuffle);
        } else if (key == "songRepeat") {
            const bool isText = value.type == JsonValue::Type::String;
            if (isText && value.string == "off")
                lib.songRepeat = SongRepeat::Off;
            else if (isText && value.string == "one")
                lib.songRepeat = SongRepeat::One;
            else if (isText && value.string == "all")
                lib.songRepeat = SongRepeat::All;
            else
                ok = c.reject(value, "\"songRepeat\" must be \"off\", \"one\" or \"all\"");
        } else if (key == "tracks") {
            if (value.type != JsonValue::Type::Array)
                return c.reject(value, "\"tracks\" must be a list [...] of tracks");
            lib.tracks.resize(value.items.size());
            for (std::size_t i = 0; i < value.items.size() && ok; ++i)
                ok = readTrack(c, value.items[i], i + 1, lib.tracks[i]);
        }
        if (!ok)
            return false;
    }

    // Make the state whole: a playing or paused player has a current track,
    // a stopped one none. A file that says only "running" plays, as a
    // launched player does.
    if (current > 0 && std::size_t(current) > lib.tracks.size())
        return c.reject(*currentField,
            "\"currentTrack\" " + std::to_string(current) + " is past the last track (there are "
                + std::to_string(lib.tracks.size()) + ")");
    if (!state)
        state = (current > 0 || lib.running) && !lib.tracks.empty() ? PlayerState::Playing : PlayerState::Stopped;
    if (*state == PlayerState::Stopped) {
        if (current > 0)
            return c.reject(*currentField, "a stopped player has no current track; say \"paused\" in \"playerState\"");
        if (lib.playerPosition > 0)
            return c.reject(*positionField, "a stopped player has no position");
    } else {
        if (lib.tracks.empty())
            return c.reject(stateField ? *stateField : root,
                "a " + std::string(*state == PlayerState::Playing ? "playing" : "paused")
                    + " player needs a track, but there are none");
        if (currentField && current == 0)
            return c.reject(*currentField, "\"currentTrack\" 0 (none) contradicts a playing or paused player");
        if (current == 0)
            current = 1;
        const double duration = lib.tracks[std::size_t(current) - 1].duration;
        if (duration > 0 && lib.playerPosition > duration)
            return c.reject(*positionField, "\"playerPosition\" lies beyond the end of the current track");
    }
    lib.playerState = *state;
    lib.currentTrack = std::size_t(current);
    return true;
}

} // namespace

std::variant<Library, LibraryError> LibraryReader::read(std::string_view text, const std::string& fileName)
{
    auto parsed = JsonParser::parse(text);
    std::optional<Fault> fault;
    Library lib;
    if (auto* error = std::get_if<JsonError>(&parsed)) {
        fault = Fault{error->offset, error->message};
    } else {
        Converter c;
        if (!convert(c, std::get<JsonValue>(parsed), lib))
            fault = c.fault;
    }
    if (!fault)
        return lib;
    const TextPosition pos = JsonParser::positionOf(text, fault->offset);
    return LibraryError{fileName, pos.line, pos.column, fault->message};
}

namespace {
// Far beyond any playlist someone writes by hand.
constexpr std::uintmax_t kMaxLibrarySize = 64 * 1024 * 1024;
} // namespace

std::variant<Library, LibraryError> LibraryReader::readFile(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return LibraryError{path, 0, 0, "cannot read: it is a folder"};
    // A pipe or device would block or never end: only regular files.
    if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
        return LibraryError{path, 0, 0, "cannot read: not a regular file"};
    if (const auto size = std::filesystem::file_size(path, ec); !ec && size > kMaxLibrarySize)
        return LibraryError{path, 0, 0, "cannot read: larger than " + std::to_string(kMaxLibrarySize) + " bytes"};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return LibraryError{path, 0, 0, std::string("cannot read: ") + std::strerror(errno)};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return LibraryError{path, 0, 0, "cannot read: input error"};
    return read(bytes.str(), path);
}

} // namespace players
