#include "FakeApplications.h"

#include <algorithm>
#include <cctype>

using script::Error;
using script::ObjectSpecifier;
using script::Reference;
using script::Result;
using script::Value;

namespace fake {

namespace {

Error cantGet(const ObjectSpecifier& object)
{
    std::string what = object.path.empty() ? "application" : object.path.back().term;
    return Error{script::errc::CantGet, "Can't get " + what + "."};
}

bool sameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
}

} // namespace

// ------------------------------------------------------------------ Player

Player::Player()
{
    m_dictionary.properties = {"player state", "player position", "current track", "current playlist",
                               "name", "artist", "album", "track number", "track count", "duration",
                               "rating", "index", "shuffle", "song repeat"};
    m_dictionary.elements = {"track"};
    m_dictionary.commands = {"play", "pause", "next track", "previous track", "quit"};
    m_dictionary.enumerators = {"playing", "paused", "stopped", "off", "one", "all"};
}

void Player::launch()
{
    ++launches;
    running = canLaunch;
}

Error Player::refuse() const
{
    return Error{script::errc::AppNotRunning, "Not running."};
}

Result<Player::Place> Player::walk(const ObjectSpecifier& object) const
{
    Place at;
    for (const Reference& step : object.path) {
        if (at.kind == Place::Kind::Property)
            return cantGet(object); // nothing lies inside a property's value
        if (step.kind != Reference::Kind::Property) {
            if (at.kind != Place::Kind::Playlist || step.term != "track")
                return cantGet(object);
            std::int64_t n = static_cast<std::int64_t>(playlist.size());
            std::int64_t i = step.index < 0 ? n + step.index + 1 : step.index;
            if (step.kind == Reference::Kind::ElementByName) {
                auto it = std::find_if(playlist.begin(), playlist.end(),
                                       [&](const Track& t) { return sameName(t.name, step.name); });
                i = it == playlist.end() ? 0 : (it - playlist.begin()) + 1;
            }
            if (i < 1 || i > n)
                return cantGet(object);
            at = Place{Place::Kind::Track, static_cast<std::size_t>(i), {}, {}};
            continue;
        }
        if (at.kind == Place::Kind::Application && step.term == "current track") {
            if (current == 0)
                return cantGet(object);
            at = Place{Place::Kind::Track, current, {}, {}};
        } else if (at.kind == Place::Kind::Application && step.term == "current playlist") {
            at = Place{Place::Kind::Playlist, 0, {}, {}};
        } else {
            at = Place{Place::Kind::Property, at.track, step.term, at.kind};
        }
    }
    return at;
}

Result<Value> Player::read(const Place& at) const
{
    ObjectSpecifier self{name(), {}};
    switch (at.kind) {
    case Place::Kind::Application:
        return Value::object(self);
    case Place::Kind::Playlist:
        self.path.push_back(Reference{Reference::Kind::Property, "current playlist", 0, {}});
        return Value::object(self);
    case Place::Kind::Track:
        self.path.push_back(Reference{Reference::Kind::Property, "current playlist", 0, {}});
        self.path.push_back(Reference{Reference::Kind::ElementByIndex, "track", std::int64_t(at.track), {}});
        return Value::object(self);
    case Place::Kind::Property:
        break;
    }
    const std::string& p = at.property;
    if (at.owner == Place::Kind::Application) {
        if (p == "player state")
            return Value::constant(state);
        if (p == "player position")
            return Value::real(position);
        if (p == "name")
            return Value::text("iTunes");
    } else if (at.owner == Place::Kind::Playlist) {
        if (p == "shuffle")
            return Value::boolean(shuffle);
        if (p == "song repeat")
            return Value::constant(songRepeat);
        if (p == "name")
            return Value::text("Library");
    } else if (at.owner == Place::Kind::Track) {
        const Track& t = playlist[at.track - 1];
        if (p == "name")
            return Value::text(t.name);
        if (p == "artist")
            return Value::text(t.artist);
        if (p == "album")
            return Value::text(t.album);
        if (p == "track number")
            return Value::integer(t.trackNumber);
        if (p == "track count")
            return Value::integer(t.trackCount);
        if (p == "duration")
            return Value::real(t.duration);
        if (p == "rating")
            return Value::integer(t.rating);
        if (p == "index")
            return Value::integer(std::int64_t(at.track));
    }
    return Error{script::errc::CantGet, "Can't get " + p + "."};
}

Result<Value> Player::get(const ObjectSpecifier& object)
{
    ++events;
    if (!running)
        return refuse();
    auto at = walk(object);
    if (!at)
        return at.error();
    return read(at.value());
}

Result<Value> Player::set(const ObjectSpecifier& object, const Value& value)
{
    ++events;
    if (!running)
        return refuse();
    auto at = walk(object);
    if (!at)
        return at.error();
    const Place& p = at.value();
    Error cantSet{script::errc::CantSet, "Can't set that."};
    if (p.kind != Place::Kind::Property)
        return cantSet;
    if (p.owner == Place::Kind::Track && p.property == "rating" && value.type() == Value::Type::Integer) {
        playlist[p.track - 1].rating = std::clamp<std::int64_t>(value.asInteger(), 0, 100);
    } else if (p.owner == Place::Kind::Playlist && p.property == "shuffle" && value.type() == Value::Type::Boolean) {
        shuffle = value.asBoolean();
    } else if (p.owner == Place::Kind::Playlist && p.property == "song repeat" && value.type() == Value::Type::Constant) {
        songRepeat = value.asConstant().name;
    } else {
        return cantSet;
    }
    return Value();
}

Result<bool> Player::exists(const ObjectSpecifier& object)
{
    ++events;
    if (!running)
        return refuse();
    return walk(object).ok();
}

Result<Value> Player::command(const std::string& term, const std::optional<ObjectSpecifier>& directObject)
{
    ++events;
    if (!running)
        return refuse();
    commands.push_back(directObject ? term + " <object>" : term);
    if (term == "play") {
        state = "playing";
    } else if (term == "pause") {
        state = "paused";
    } else if (term == "next track") {
        if (current < playlist.size())
            ++current;
    } else if (term == "previous track") {
        if (current > 1)
            --current;
    } else if (term == "quit") {
        running = false;
    } else {
        return Error{script::errc::DoesNotUnderstand, "Doesn't understand the " + term + " message."};
    }
    return Value();
}

// ----------------------------------------------------------- SystemEvents

SystemEvents::SystemEvents(const script::ApplicationDirectory& apps)
    : m_apps(apps)
{
    m_dictionary.properties = {"name"};
    m_dictionary.elements = {"process", "application process"};
}

Result<Value> SystemEvents::get(const ObjectSpecifier& object)
{
    auto e = exists(object);
    if (!e.ok() || !e.value())
        return cantGet(object);
    if (object.path.size() == 2 && object.path[1].term == "name")
        return Value::text(object.path[0].name);
    return Value::object(object);
}

Result<Value> SystemEvents::set(const ObjectSpecifier&, const Value&)
{
    return Error{script::errc::CantSet, "Can't set that."};
}

Result<bool> SystemEvents::exists(const ObjectSpecifier& object)
{
    if (object.path.empty())
        return true;
    const Reference& first = object.path.front();
    if ((first.term != "process" && first.term != "application process") || first.kind != Reference::Kind::ElementByName)
        return cantGet(object);
    script::ScriptableApplication* app = m_apps.find(first.name);
    return app && app->isRunning();
}

Result<Value> SystemEvents::command(const std::string& term, const std::optional<ObjectSpecifier>&)
{
    return Error{script::errc::DoesNotUnderstand, "System Events doesn't understand the " + term + " message."};
}

// -------------------------------------------------------------- Directory

script::ScriptableApplication* Directory::find(const std::string& name) const
{
    for (script::ScriptableApplication* app : m_apps) {
        if (sameName(app->name(), name))
            return app;
    }
    return nullptr;
}

World::World()
{
    player.playlist = {
        {"Intro", "The Openers", "First Light", 1, 3, 180.0, 20},
        {"Middle Eight", "The Bridges", "Second Wind", 2, 3, 200.0, 80},
        {"Coda", "The Closers", "Last Call", 3, 3, 240.0, 0},
    };
    player.current = 2;
    player.state = "playing";
    player.position = 50.0;
    player.songRepeat = "all";
    apps.add(player);
    apps.add(systemEvents);
}

} // namespace fake
