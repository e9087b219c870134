#include "players/PlayerObjects.h"

#include <cmath>

namespace players::objects {

using script::Error;
using script::Reference;
using script::Value;
namespace errc = script::errc;

namespace {

std::string describeStep(const Reference& ref)
{
    switch (ref.kind) {
    case Reference::Kind::Property: return ref.term;
    case Reference::Kind::ElementByIndex: return ref.term + " " + std::to_string(ref.index);
    case Reference::Kind::ElementByName: return ref.term + " \"" + ref.name + "\"";
    }
    return ref.term;
}

} // namespace

std::string describe(const std::vector<Reference>& path, std::size_t count)
{
    std::string text;
    for (std::size_t i = count; i-- > 0;) {
        if (!text.empty())
            text += " of ";
        text += describeStep(path[i]);
    }
    return text;
}

Error cantGet(const std::vector<Reference>& path, std::size_t count)
{
    return Error{errc::CantGet, "Can't get " + describe(path, count) + "."};
}

Error cantSet(const std::vector<Reference>& path)
{
    return Error{errc::CantSet, "Can't set " + describe(path, path.size()) + "."};
}

Error cantMake(const Value& value, const std::string& wanted)
{
    const std::string text = value.stringValue().value_or("that value");
    return Error{errc::CantMakeType, "Can't make " + text + " into type " + wanted + "."};
}

bool isObjectStep(const Reference& ref)
{
    return ref.kind != Reference::Kind::Property || ref.term == "current track" || ref.term == "current playlist";
}

std::optional<double> number(const Value& v)
{
    if (v.type() == Value::Type::Integer)
        return double(v.asInteger());
    if (v.type() == Value::Type::Real && std::isfinite(v.asReal()))
        return v.asReal();
    return std::nullopt;
}

const script::Dictionary& playerDictionary()
{
    static const script::Dictionary dict{
        {"name", "player state", "player position", "current track", "current playlist", "artist", "album",
            "track number", "track count", "duration", "rating", "index", "shuffle", "song repeat"},
        {"track", "playlist"},
        {"play", "pause", "playpause", "stop", "next track", "previous track", "quit", "launch", "activate"},
        {"playing", "paused", "stopped", "off", "one", "all"},
    };
    return dict;
}

const char* stateName(PlayerState state)
{
    switch (state) {
    case PlayerState::Playing: return "playing";
    case PlayerState::Paused: return "paused";
    case PlayerState::Stopped: return "stopped";
    }
    return "stopped";
}

const char* repeatName(SongRepeat repeat)
{
    switch (repeat) {
    case SongRepeat::Off: return "off";
    case SongRepeat::One: return "one";
    case SongRepeat::All: return "all";
    }
    return "off";
}

std::optional<SongRepeat> repeatFrom(const Value& v)
{
    const std::string name = v.type() == Value::Type::Constant ? v.asConstant().name : "";
    if (name == "off")
        return SongRepeat::Off;
    if (name == "one")
        return SongRepeat::One;
    if (name == "all")
        return SongRepeat::All;
    return std::nullopt;
}

std::optional<std::size_t> elementPlace(std::int64_t index, std::size_t count)
{
    const std::int64_t n = std::int64_t(count);
    const std::int64_t place = index < 0 ? n + 1 + index : index;
    if (place < 1 || place > n)
        return std::nullopt;
    return std::size_t(place);
}

bool isTrackField(const std::string& term)
{
    return term == "name" || term == "artist" || term == "album" || term == "track number" || term == "track count"
        || term == "duration";
}

Value trackField(const TrackFields& track, const std::string& term)
{
    if (term == "artist")
        return Value::text(track.artist);
    if (term == "album")
        return Value::text(track.album);
    if (term == "track number")
        return Value::integer(track.trackNumber);
    if (term == "track count")
        return Value::integer(track.trackCount);
    if (term == "duration")
        return Value::real(track.duration);
    return Value::text(track.name);
}

bool isPlaylistStep(const Reference& ref, const std::string& playlistName)
{
    if (ref.term != "playlist")
        return false;
    if (ref.kind == Reference::Kind::ElementByIndex)
        return ref.index == 1 || ref.index == -1;
    return ref.kind == Reference::Kind::ElementByName && ref.name == playlistName;
}

} // namespace players::objects
