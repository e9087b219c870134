#pragma once

#include "players/Player.h"
#include "players/PlayerObjects.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace players {

// The three kinds of object of every player's model.
enum class ObjectKind { Application, Playlist, Track };

// What the transport commands ask of a player, besides play.
enum class Transport { Pause, PlayPause, Stop, NextTrack, PreviousTrack };

// A player's object model written once: the application, its one playlist
// and that playlist's tracks, their properties and the commands, answered
// the same way whatever plays them. A player says only what is its own:
// how it finds its tracks (`Track`, its own way of holding one), what it
// knows of its state, playlist and tracks, how it changes them, and how it
// carries out a command.
//
// An error without text from a hook means "no such thing": the model words
// it for the path it was asked about ("Can't get track 9 of current
// playlist."). An error with text is the player's own (it timed out, it
// went away, it refused) and reaches the script as it is.
template <class Track>
class TrackPlayer : public Player {
public:
    // An object a path names.
    struct Object {
        ObjectKind kind = ObjectKind::Application;
        Track track{}; // for ObjectKind::Track
    };

    const script::Dictionary& dictionary() const override { return objects::playerDictionary(); }

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override
    {
        if (auto error = unavailable(script::errc::CantGet))
            return *error;
        const auto& path = object.path;
        if (path.empty())
            return objectValue(Object{});
        const bool ofObject = objects::isObjectStep(path.back());
        script::Result<Object> found = resolve(path, ofObject ? path.size() : path.size() - 1);
        if (!found)
            return found.error();
        if (ofObject)
            return objectValue(found.value());
        script::Result<script::Value> value = property(found.value(), path.back().term);
        if (!value && value.error().message.empty())
            return objects::cantGet(path, path.size());
        return value;
    }

    script::Result<script::Value> set(const script::ObjectSpecifier& object, const script::Value& value) override
    {
        if (auto error = unavailable(script::errc::CantSet))
            return *error;
        const auto& path = object.path;
        if (path.empty() || objects::isObjectStep(path.back()))
            return objects::cantSet(path);
        script::Result<Object> found = resolve(path, path.size() - 1);
        if (!found)
            return found.error();
        script::Result<script::Value> done = setProperty(found.value(), path.back().term, value);
        if (!done && done.error().message.empty())
            return objects::cantSet(path);
        return done;
    }

    script::Result<bool> exists(const script::ObjectSpecifier& object) override
    {
        if (auto error = unavailable(script::errc::CantGet))
            return *error;
        const auto& path = object.path;
        if (path.empty())
            return true;
        if (objects::isObjectStep(path.back())) {
            script::Result<Object> found = resolve(path, path.size());
            if (!found && decidesExistence(found.error()))
                return found.error();
            return found.ok();
        }
        script::Result<Object> found = resolve(path, path.size() - 1);
        return found && bool(property(found.value(), path.back().term));
    }

    script::Result<script::Value> command(const std::string& term,
        const std::optional<script::ObjectSpecifier>& directObject) final
    {
        if (term == "launch" || term == "activate")
            return launchCommand();
        if (term == "quit")
            return quit();
        if (auto error = unavailable(script::errc::CantGet))
            return *error;
        if (term == "play") {
            std::optional<Track> track;
            if (directObject) {
                script::Result<Object> found = resolve(directObject->path, directObject->path.size());
                if (!found)
                    return found.error();
                if (found.value().kind == ObjectKind::Track)
                    track = found.value().track;
            }
            return play(track ? &*track : nullptr);
        }
        if (term == "pause")
            return transport(Transport::Pause);
        if (term == "playpause")
            return transport(Transport::PlayPause);
        if (term == "stop")
            return transport(Transport::Stop);
        if (term == "next track")
            return transport(Transport::NextTrack);
        if (term == "previous track")
            return transport(Transport::PreviousTrack);
        return doesNotUnderstand(term);
    }

protected:
    // What a player says of its one playlist besides its name.
    struct PlaylistState {
        bool shuffle = false;
        SongRepeat repeat = SongRepeat::Off;
    };

    // "No such thing", worded by the model for the path asked about.
    static script::Error nothing(int number) { return script::Error{number, {}}; }

    // Why no question can be answered now (an error of kind `number`), or
    // nullopt when the player can answer.
    virtual std::optional<script::Error> unavailable(int number)
    {
        (void)number;
        if (!isRunning())
            return notRunning();
        return std::nullopt;
    }
    // Whether an error while looking for an object answers `exists` itself
    // rather than "no" (a player that did not answer in time, say).
    virtual bool decidesExistence(const script::Error& error) const
    {
        (void)error;
        return false;
    }

    // Finding tracks. The playlist's name, as `playlist "NAME"` finds it;
    // the current track (none: nullopt); how many tracks the playlist
    // holds, the one at a 1-based place among them, the first of a name.
    virtual std::string playlistName() const = 0;
    virtual script::Result<std::optional<Track>> currentTrack() = 0;
    virtual script::Result<std::size_t> trackCount() = 0;
    virtual script::Result<Track> trackAt(std::size_t place) = 0;
    virtual script::Result<std::optional<Track>> trackNamed(const std::string& name) = 0;
    // A track's 1-based place in the playlist where the player knows it
    // without asking; nullopt makes the current track's value `current
    // track` rather than `track N of playlist 1`.
    virtual std::optional<std::int64_t> placeOf(const Track& track) const = 0;

    // Reading.
    virtual script::Result<PlayerState> playerState() = 0;
    virtual script::Result<double> playerPosition() = 0;
    virtual script::Result<PlaylistState> playlistState() = 0;
    virtual script::Result<objects::TrackFields> trackFields(const Track& track) = 0;
    virtual script::Result<std::int64_t> trackRating(const Track& track) = 0;
    virtual script::Result<std::int64_t> trackIndex(const Track& track)
    {
        if (const auto place = placeOf(track))
            return *place;
        return nothing(script::errc::CantGet);
    }

    // Changing, with values already of the property's kind.
    virtual script::Result<script::Value> setPlayerPosition(double seconds) = 0;
    virtual script::Result<script::Value> setShuffle(bool shuffle) = 0;
    virtual script::Result<script::Value> setSongRepeat(SongRepeat repeat) = 0;
    virtual script::Result<script::Value> setRating(const Track& track, double rating) = 0;
    // A track's name, artist or album, where a player lets scripts write
    // them: `value` as the script gave it.
    virtual script::Result<script::Value> setTrackText(const Track& track, const std::string& term,
        const script::Value& value)
    {
        (void)track, (void)term, (void)value;
        return nothing(script::errc::CantSet);
    }

    // Commands. Launching and quitting come before the check that the
    // player can answer; the others after it.
    virtual script::Result<script::Value> launchCommand() { return script::Value(); }
    virtual script::Result<script::Value> quit() = 0;
    // Plays `track`, or (nullptr) whatever the player would play.
    virtual script::Result<script::Value> play(const Track* track) = 0;
    virtual script::Result<script::Value> transport(Transport command) = 0;

    script::Error notRunning() const
    {
        return script::Error{script::errc::AppNotRunning, name() + " isn't running."};
    }

private:
    script::Error doesNotUnderstand(const std::string& term) const
    {
        return script::Error{
            script::errc::DoesNotUnderstand, name() + " doesn't understand the \"" + term + "\" message."};
    }

    // The object the first `steps` steps of `path` name.
    script::Result<Object> resolve(const std::vector<script::Reference>& path, std::size_t steps)
    {
        Object object;
        for (std::size_t i = 0; i < steps; ++i) {
            if (!objects::isObjectStep(path[i]))
                return objects::cantGet(path, i + 1);
            script::Result<Object> next = step(object, path[i]);
            if (!next)
                return next.error().message.empty() ? objects::cantGet(path, i + 1) : next.error();
            object = next.value();
        }
        return object;
    }

    static script::Result<Object> trackObject(script::Result<Track> track)
    {
        if (!track)
            return track.error();
        return Object{ObjectKind::Track, std::move(track.value())};
    }

    static script::Result<Object> trackObject(script::Result<std::optional<Track>> track)
    {
        if (!track)
            return track.error();
        if (!track.value())
            return nothing(script::errc::CantGet);
        return Object{ObjectKind::Track, std::move(*track.value())};
    }

    // The object `ref` names from `from`.
    script::Result<Object> step(const Object& from, const script::Reference& ref)
    {
        using Kind = script::Reference::Kind;
        if (from.kind == ObjectKind::Application && objects::isPlaylistStep(ref, playlistName()))
            return Object{ObjectKind::Playlist};
        if (ref.kind == Kind::Property) {
            if (from.kind != ObjectKind::Application)
                return nothing(script::errc::CantGet);
            if (ref.term == "current playlist")
                return Object{ObjectKind::Playlist};
            if (ref.term == "current track")
                return trackObject(currentTrack());
            return nothing(script::errc::CantGet);
        }
        if (ref.term != "track" || from.kind == ObjectKind::Track)
            return nothing(script::errc::CantGet);
        if (ref.kind == Kind::ElementByName)
            return trackObject(trackNamed(ref.name));
        script::Result<std::size_t> count = trackCount();
        if (!count)
            return count.error();
        const std::optional<std::size_t> place = objects::elementPlace(ref.index, count.value());
        if (!place)
            return nothing(script::errc::CantGet);
        return trackObject(trackAt(*place));
    }

    script::Result<script::Value> property(const Object& object, const std::string& term)
    {
        using script::Value;
        switch (object.kind) {
        case ObjectKind::Application:
            if (term == "player state") {
                script::Result<PlayerState> state = playerState();
                if (!state)
                    return state.error();
                return Value::constant(objects::stateName(state.value()));
            }
            if (term == "player position") {
                script::Result<double> seconds = playerPosition();
                if (!seconds)
                    return seconds.error();
                return Value::real(seconds.value());
            }
            if (term == "name")
                return Value::text(name());
            break;
        case ObjectKind::Playlist: {
            if (term == "name")
                return Value::text(playlistName());
            if (term == "index")
                return Value::integer(1);
            if (term != "shuffle" && term != "song repeat")
                break;
            script::Result<PlaylistState> state = playlistState();
            if (!state)
                return state.error();
            if (term == "shuffle")
                return Value::boolean(state.value().shuffle);
            return Value::constant(objects::repeatName(state.value().repeat));
        }
        case ObjectKind::Track:
            if (term == "index") {
                script::Result<std::int64_t> index = trackIndex(object.track);
                if (!index)
                    return index.error();
                return Value::integer(index.value());
            }
            if (term == "rating") {
                script::Result<std::int64_t> rating = trackRating(object.track);
                if (!rating)
                    return rating.error();
                return Value::integer(rating.value());
            }
            if (!objects::isTrackField(term))
                break;
            script::Result<objects::TrackFields> fields = trackFields(object.track);
            if (!fields)
                return fields.error();
            return objects::trackField(fields.value(), term);
        }
        return nothing(script::errc::CantGet);
    }

    script::Result<script::Value> setProperty(const Object& object, const std::string& term,
        const script::Value& value)
    {
        switch (object.kind) {
        case ObjectKind::Application:
            if (term == "player position") {
                const std::optional<double> seconds = objects::number(value);
                if (!seconds)
                    return objects::cantMake(value, "real");
                return setPlayerPosition(*seconds);
            }
            break;
        case ObjectKind::Playlist:
            if (term == "shuffle") {
                if (value.type() != script::Value::Type::Boolean)
                    return objects::cantMake(value, "boolean");
                return setShuffle(value.asBoolean());
            }
            if (term == "song repeat") {
                const std::optional<SongRepeat> repeat = objects::repeatFrom(value);
                if (!repeat)
                    return objects::cantMake(value, "song repeat");
                return setSongRepeat(*repeat);
            }
            break;
        case ObjectKind::Track:
            if (term == "rating") {
                const std::optional<double> rating = objects::number(value);
                if (!rating)
                    return objects::cantMake(value, "integer");
                return setRating(object.track, *rating);
            }
            if (term == "name" || term == "artist" || term == "album")
                return setTrackText(object.track, term, value);
            break;
        }
        return nothing(script::errc::CantSet);
    }

    // The object as a specifier a script can keep and ask about again: the
    // application, its playlist (`playlist 1`) or a track of it.
    script::Value objectValue(const Object& object) const
    {
        script::ObjectSpecifier specifier{name(), {}};
        if (object.kind == ObjectKind::Track) {
            const std::optional<std::int64_t> place = placeOf(object.track);
            if (!place) {
                specifier.path.push_back({script::Reference::Kind::Property, "current track", 0, {}});
                return script::Value::object(std::move(specifier));
            }
            specifier.path.push_back({script::Reference::Kind::ElementByIndex, "playlist", 1, {}});
            specifier.path.push_back({script::Reference::Kind::ElementByIndex, "track", *place, {}});
        } else if (object.kind == ObjectKind::Playlist) {
            specifier.path.push_back({script::Reference::Kind::ElementByIndex, "playlist", 1, {}});
        }
        return script::Value::object(std::move(specifier));
    }
};

} // namespace players
