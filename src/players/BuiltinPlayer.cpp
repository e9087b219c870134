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

BuiltinPlayer::BuiltinPlayer(std::string name, Library library, std::uint32_t shuffleSeed)
    : m_player(std::move(name), std::move(library), shuffleSeed)
{
}

Result<BuiltinPlayer::Target> BuiltinPlayer::step(const Target& from, const Reference& ref)
{
    using Kind = Target::Kind;
    if (from.kind == Kind::Application && isPlaylistStep(ref, m_player.playlistName()))
        return Target{Kind::Playlist, 0};
    switch (ref.kind) {
    case Reference::Kind::Property:
        if (from.kind != Kind::Application)
            break;
        if (ref.term == "current playlist")
            return Target{Kind::Playlist, 0};
        if (ref.term == "current track") {
            if (const std::size_t current = m_player.currentTrack())
                return Target{Kind::Track, current};
        }
        break;
    case Reference::Kind::ElementByIndex:
        if (ref.term == "track" && from.kind != Kind::Track) {
            if (const auto place = elementPlace(ref.index, m_player.trackCount()))
                return Target{Kind::Track, *place};
        }
        break;
    case Reference::Kind::ElementByName:
        if (ref.term == "track" && from.kind != Kind::Track) {
            for (std::size_t i = 1; i <= m_player.trackCount(); ++i) {
                if (m_player.track(i).name == ref.name)
                    return Target{Kind::Track, i};
            }
        }
        break;
    }
    return nothing(errc::CantGet);
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
        if (auto value = playlistProperty(term, m_player.shuffle(), m_player.songRepeat(), m_player.playlistName()))
            return *value;
        break;
    case Target::Kind::Track: {
        const Track& t = m_player.track(target.track);
        if (auto value = trackProperty({t.name, t.artist, t.album, t.trackNumber, t.trackCount, t.duration}, term))
            return *value;
        if (term == "rating")
            return Value::integer(t.rating);
        if (term == "index")
            return Value::integer(std::int64_t(target.track));
        break;
    }
    }
    return nothing(errc::CantGet);
}

Value BuiltinPlayer::objectValue(const Target& target) const
{
    if (target.kind == Target::Kind::Track)
        return modelObject(true, std::int64_t(target.track));
    return modelObject(target.kind == Target::Kind::Playlist);
}

Result<Value> BuiltinPlayer::setProperty(const Target& target, const std::string& term, const Value& value)
{
    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player position") {
            const std::optional<double> seconds = number(value);
            if (!seconds)
                return cantMake(value, "real");
            if (!m_player.setPlayerPosition(*seconds))
                return nothing(errc::CantSet);
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
            const std::optional<SongRepeat> repeat = repeatFrom(value);
            if (!repeat)
                return cantMake(value, "song repeat");
            m_player.setSongRepeat(*repeat);
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
    return nothing(errc::CantSet);
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
        return doesNotUnderstand(term);
    return Value();
}

} // namespace players
