#include "players/BuiltinPlayer.h"

#include "players/PlayerErrors.h"

#include <algorithm>
#include <cmath>

namespace players {

using script::Error;
using script::ObjectSpecifier;
using script::Reference;
using script::Result;
using script::Value;
namespace errc = script::errc;
using namespace objects;

namespace {

const char* stateName(PlayerState s)
{
    switch (s) {
    case PlayerState::Playing: return "playing";
    case PlayerState::Paused: return "paused";
    case PlayerState::Stopped: return "stopped";
    }
    return "stopped";
}

const char* repeatName(SongRepeat r)
{
    switch (r) {
    case SongRepeat::Off: return "off";
    case SongRepeat::One: return "one";
    case SongRepeat::All: return "all";
    }
    return "off";
}

} // namespace

BuiltinPlayer::BuiltinPlayer(std::string name, Library library, std::uint32_t shuffleSeed)
    : m_player(std::move(name), std::move(library), shuffleSeed)
{
}

const script::Dictionary& BuiltinPlayer::dictionary() const
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

Error BuiltinPlayer::notRunning() const
{
    return Error{errc::AppNotRunning, name() + " isn't running."};
}

std::optional<BuiltinPlayer::Target> BuiltinPlayer::step(const Target& from, const Reference& ref)
{
    using Kind = Target::Kind;
    const std::size_t count = m_player.trackCount();
    switch (ref.kind) {
    case Reference::Kind::Property:
        if (from.kind != Kind::Application)
            return std::nullopt;
        if (ref.term == "current playlist")
            return Target{Kind::Playlist, 0};
        if (ref.term == "current track") {
            if (const std::size_t current = m_player.currentTrack())
                return Target{Kind::Track, current};
        }
        return std::nullopt;
    case Reference::Kind::ElementByIndex:
        if (ref.term == "playlist" && from.kind == Kind::Application && (ref.index == 1 || ref.index == -1))
            return Target{Kind::Playlist, 0};
        if (ref.term == "track" && from.kind != Kind::Track) {
            // Negative indices count from the end: track -1 is the last.
            const std::int64_t n = std::int64_t(count);
            const std::int64_t index = ref.index < 0 ? n + 1 + ref.index : ref.index;
            if (index >= 1 && index <= n)
                return Target{Kind::Track, std::size_t(index)};
        }
        return std::nullopt;
    case Reference::Kind::ElementByName:
        if (ref.term == "playlist" && from.kind == Kind::Application && ref.name == m_player.playlistName())
            return Target{Kind::Playlist, 0};
        if (ref.term == "track" && from.kind != Kind::Track) {
            for (std::size_t i = 1; i <= count; ++i) {
                if (m_player.track(i).name == ref.name)
                    return Target{Kind::Track, i};
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

Result<BuiltinPlayer::Target> BuiltinPlayer::resolve(const std::vector<Reference>& path, std::size_t steps)
{
    Target target;
    for (std::size_t i = 0; i < steps; ++i) {
        std::optional<Target> next = isObjectStep(path[i]) ? step(target, path[i]) : std::nullopt;
        if (!next)
            return cantGet(path, i + 1);
        target = *next;
    }
    return target;
}

Result<Value> BuiltinPlayer::property(const Target& target, const std::string& term)
{
    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player state")
            return Value::constant(stateName(m_player.playerState()));
        if (term == "player position")
            return Value::real(m_player.playerPosition());
        if (term == "name")
            return Value::text(name());
        break;
    case Target::Kind::Playlist:
        if (term == "shuffle")
            return Value::boolean(m_player.shuffle());
        if (term == "song repeat")
            return Value::constant(repeatName(m_player.songRepeat()));
        if (term == "name")
            return Value::text(m_player.playlistName());
        if (term == "index")
            return Value::integer(1);
        break;
    case Target::Kind::Track: {
        const Track& t = m_player.track(target.track);
        if (term == "name")
            return Value::text(t.name);
        if (term == "artist")
            return Value::text(t.artist);
        if (term == "album")
            return Value::text(t.album);
        if (term == "track number")
            return Value::integer(t.trackNumber);
        if (term == "track count")
            return Value::integer(t.trackCount);
        if (term == "duration")
            return Value::real(t.duration);
        if (term == "rating")
            return Value::integer(t.rating);
        if (term == "index")
            return Value::integer(std::int64_t(target.track));
        break;
    }
    }
    return Error{errc::CantGet, {}};
}

Value BuiltinPlayer::objectValue(const Target& target) const
{
    ObjectSpecifier object{name(), {}};
    if (target.kind != Target::Kind::Application)
        object.path.push_back({Reference::Kind::ElementByIndex, "playlist", 1, {}});
    if (target.kind == Target::Kind::Track)
        object.path.push_back({Reference::Kind::ElementByIndex, "track", std::int64_t(target.track), {}});
    return Value::object(std::move(object));
}

Result<Value> BuiltinPlayer::get(const ObjectSpecifier& object)
{
    if (!isRunning())
        return notRunning();
    const auto& path = object.path;
    if (path.empty())
        return objectValue(Target{});
    if (isObjectStep(path.back())) {
        Result<Target> target = resolve(path, path.size());
        if (!target)
            return target.error();
        return objectValue(target.value());
    }
    Result<Target> target = resolve(path, path.size() - 1);
    if (!target)
        return target.error();
    Result<Value> value = property(target.value(), path.back().term);
    if (!value)
        return cantGet(path, path.size());
    return value;
}

Result<Value> BuiltinPlayer::set(const ObjectSpecifier& object, const Value& value)
{
    if (!isRunning())
        return notRunning();
    const auto& path = object.path;
    if (path.empty() || isObjectStep(path.back()))
        return cantSet(path);
    Result<Target> resolved = resolve(path, path.size() - 1);
    if (!resolved)
        return resolved.error();
    const Target& target = resolved.value();
    const std::string& term = path.back().term;

    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player position") {
            const std::optional<double> seconds = number(value);
            if (!seconds)
                return cantMake(value, "real");
            if (!m_player.setPlayerPosition(*seconds))
                return cantSet(path);
            return Value();
        }
        break;
    case Target::Kind::Playlist:
        if (term == "shuffle") {
            if (value.type() != Value::Type::Boolean)
                return cantMake(value, "boolean");
            m_player.setShuffle(value.asBoolean());
            return Value();
        }
        if (term == "song repeat") {
            const std::string name = value.type() == Value::Type::Constant ? value.asConstant().name : "";
            if (name == "off")
                m_player.setSongRepeat(SongRepeat::Off);
            else if (name == "one")
                m_player.setSongRepeat(SongRepeat::One);
            else if (name == "all")
                m_player.setSongRepeat(SongRepeat::All);
            else
                return cantMake(value, "song repeat");
            return Value();
        }
        break;
    case Target::Kind::Track:
        if (term == "rating") {
            const std::optional<double> rating = number(value);
            if (!rating)
                return cantMake(value, "integer");
            m_player.setRating(target.track, std::int64_t(std::llround(std::clamp(*rating, -1.0, 101.0))));
            return Value();
        }
        if (term == "name" || term == "artist" || term == "album") {
            if (value.type() != Value::Type::Text)
                return cantMake(value, "text");
            Track& t = m_player.track(target.track);
            (term == "name" ? t.name : term == "artist" ? t.artist : t.album) = value.asText();
            return Value();
        }
        break;
    }
    return cantSet(path);
}

Result<bool> BuiltinPlayer::exists(const ObjectSpecifier& object)
{
    if (!isRunning())
        return notRunning();
    const auto& path = object.path;
    if (path.empty())
        return true;
    if (isObjectStep(path.back()))
        return bool(resolve(path, path.size()));
    Result<Target> target = resolve(path, path.size() - 1);
    return target && bool(property(target.value(), path.back().term));
}

Result<Value> BuiltinPlayer::command(const std::string& term, const std::optional<ObjectSpecifier>& directObject)
{
    if (term == "quit") {
        m_player.quit();
        return Value();
    }
    if (term == "launch" || term == "activate") {
        m_player.launch();
        return Value();
    }
    if (!isRunning())
        return notRunning();
    if (term == "play") {
        if (!directObject) {
            m_player.play();
            return Value();
        }
        Result<Target> target = resolve(directObject->path, directObject->path.size());
        if (!target)
            return target.error();
        if (target.value().kind == Target::Kind::Track)
            m_player.playTrack(target.value().track);
        else
            m_player.play();
        return Value();
    }
    if (term == "pause")
        m_player.pause();
    else if (term == "playpause")
        m_player.playPause();
    else if (term == "stop")
        m_player.stop();
    else if (term == "next track")
        m_player.nextTrack();
    else if (term == "previous track")
        m_player.previousTrack();
    else
        return Error{errc::DoesNotUnderstand, name() + " doesn't understand the \"" + term + "\" message."};
    return Value();
}

} // namespace players
