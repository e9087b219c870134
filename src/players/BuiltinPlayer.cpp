#include "players/BuiltinPlayer.h"

#include "players/PlayerObjects.h"

#include <algorithm>
#include <cmath>

namespace players {

using script::Result;
using script::Value;
namespace errc = script::errc;
using namespace objects;

BuiltinPlayer::BuiltinPlayer(std::string name, Library library, std::uint32_t shuffleSeed)
    : m_player(std::move(name), std::move(library), shuffleSeed)
{
}

Result<std::optional<std::size_t>> BuiltinPlayer::currentTrack()
{
    if (const std::size_t current = m_player.currentTrack())
        return std::optional<std::size_t>(current);
    return std::optional<std::size_t>();
}

Result<std::optional<std::size_t>> BuiltinPlayer::trackNamed(const std::string& name)
{
    for (std::size_t i = 1; i <= m_player.trackCount(); ++i) {
        if (m_player.track(i).name == name)
            return std::optional<std::size_t>(i);
    }
    return std::optional<std::size_t>();
}

Result<BuiltinPlayer::PlaylistState> BuiltinPlayer::playlistState()
{
    return PlaylistState{m_player.shuffle(), m_player.songRepeat()};
}

Result<objects::TrackFields> BuiltinPlayer::trackFields(const std::size_t& track)
{
    const Track& t = m_player.track(track);
    return objects::TrackFields{t.name, t.artist, t.album, t.trackNumber, t.trackCount, t.duration};
}

Result<std::int64_t> BuiltinPlayer::trackRating(const std::size_t& track)
{
    return m_player.track(track).rating;
}

Result<Value> BuiltinPlayer::setPlayerPosition(double seconds)
{
    if (!m_player.setPlayerPosition(seconds))
        return nothing(errc::CantSet);
    return Value();
}

Result<Value> BuiltinPlayer::setShuffle(bool shuffle)
{
    m_player.setShuffle(shuffle);
    return Value();
}

Result<Value> BuiltinPlayer::setSongRepeat(SongRepeat repeat)
{
    m_player.setSongRepeat(repeat);
    return Value();
}

Result<Value> BuiltinPlayer::setRating(const std::size_t& track, double rating)
{
    m_player.setRating(track, std::int64_t(std::llround(std::clamp(rating, -1.0, 101.0))));
    return Value();
}

Result<Value> BuiltinPlayer::setTrackText(const std::size_t& track, const std::string& term, const Value& value)
{
    if (value.type() != Value::Type::Text)
        return cantMake(value, "text");
    Track& t = m_player.track(track);
    (term == "name" ? t.name : term == "artist" ? t.artist : t.album) = value.asText();
    return Value();
}

Result<Value> BuiltinPlayer::launchCommand()
{
    m_player.launch();
    return Value();
}

Result<Value> BuiltinPlayer::quit()
{
    m_player.quit();
    return Value();
}

Result<Value> BuiltinPlayer::play(const std::size_t* track)
{
    if (track)
        m_player.playTrack(*track);
    else
        m_player.play();
    return Value();
}

Result<Value> BuiltinPlayer::transport(Transport command)
{
    switch (command) {
    case Transport::Pause: m_player.pause(); break;
    case Transport::PlayPause: m_player.playPause(); break;
    case Transport::Stop: m_player.stop(); break;
    case Transport::NextTrack: m_player.nextTrack(); break;
    case Transport::PreviousTrack: m_player.previousTrack(); break;
    }
    return Value();
}

} // namespace players
