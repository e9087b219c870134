#pragma once

#include "players/Player.h"
#include "players/PlayerErrors.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace players {

// A player's object model written once: the application, its one playlist
// and that playlist's tracks, answered the same way whatever plays them. A
// player says only what is its own: what one step of a path leads to from
// an object (`Target`, its own way of holding an application, playlist or
// track), a property of such an object, setting one, and its commands.
//
// An error without text from a step, a property or a setter means "no such
// thing": the model words it for the path it was asked about ("Can't get
// track 9 of current playlist."). An error with text is the player's own
// (it timed out, it went away, it refused) and reaches the script as it is.
template <class Target>
class TrackPlayer : public Player {
public:
    const script::Dictionary& dictionary() const override { return objects::playerDictionary(); }

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override
    {
        if (auto error = unavailable(script::errc::CantGet))
            return *error;
        const auto& path = object.path;
        if (path.empty())
            return objectValue(Target{});
        const bool ofObject = objects::isObjectStep(path.back());
        script::Result<Target> target = resolve(path, ofObject ? path.size() : path.size() - 1);
        if (!target)
            return target.error();
        if (ofObject)
            return objectValue(target.value());
        script::Result<script::Value> value = property(target.value(), path.back().term);
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
        script::Result<Target> target = resolve(path, path.size() - 1);
        if (!target)
            return target.error();
        script::Result<script::Value> done = setProperty(target.value(), path.back().term, value);
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
            script::Result<Target> target = resolve(path, path.size());
            if (!target && decidesExistence(target.error()))
                return target.error();
            return target.ok();
        }
        script::Result<Target> target = resolve(path, path.size() - 1);
        return target && bool(property(target.value(), path.back().term));
    }

protected:
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

    // The object `ref` names from `from`.
    virtual script::Result<Target> step(const Target& from, const script::Reference& ref) = 0;
    virtual script::Result<script::Value> property(const Target& target, const std::string& term) = 0;
    virtual script::Result<script::Value> setProperty(const Target& target, const std::string& term,
        const script::Value& value) = 0;
    // The object as a specifier a script can keep and ask about again.
    virtual script::Value objectValue(const Target& target) const = 0;
    // Whether an error while looking for an object answers `exists` itself
    // rather than "no" (a player that did not answer in time, say).
    virtual bool decidesExistence(const script::Error& error) const
    {
        (void)error;
        return false;
    }

    // The object the first `steps` steps of `path` name.
    script::Result<Target> resolve(const std::vector<script::Reference>& path, std::size_t steps)
    {
        Target target;
        for (std::size_t i = 0; i < steps; ++i) {
            if (!objects::isObjectStep(path[i]))
                return objects::cantGet(path, i + 1);
            script::Result<Target> next = step(target, path[i]);
            if (!next)
                return next.error().message.empty() ? objects::cantGet(path, i + 1) : next.error();
            target = next.value();
        }
        return target;
    }

    // The application, its playlist (`playlist 1`) or track `place` of that
    // playlist, as a value a script can keep and ask about again.
    script::Value modelObject(bool inPlaylist, std::optional<std::int64_t> place = std::nullopt) const
    {
        script::ObjectSpecifier object{name(), {}};
        if (inPlaylist)
            object.path.push_back({script::Reference::Kind::ElementByIndex, "playlist", 1, {}});
        if (place)
            object.path.push_back({script::Reference::Kind::ElementByIndex, "track", *place, {}});
        return script::Value::object(std::move(object));
    }

    script::Error notRunning() const
    {
        return script::Error{script::errc::AppNotRunning, name() + " isn't running."};
    }

    script::Error doesNotUnderstand(const std::string& term) const
    {
        return script::Error{
            script::errc::DoesNotUnderstand, name() + " doesn't understand the \"" + term + "\" message."};
    }
};

} // namespace players
