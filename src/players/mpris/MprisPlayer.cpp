#include "players/mpris/MprisPlayer.h"

#include "players/PlayerErrors.h"
#include "players/mpris/MprisBus.h"
#include "players/mpris/MprisLink.h"
#include "players/mpris/MprisSession.h"

#include <QDBusObjectPath>

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

const char* stateName(const QString& status)
{
    if (status == QLatin1String("Playing"))
        return "playing";
    if (status == QLatin1String("Paused"))
        return "paused";
    return "stopped";
}

const char* repeatName(const QString& loopStatus)
{
    if (loopStatus == QLatin1String("Track"))
        return "one";
    if (loopStatus == QLatin1String("Playlist"))
        return "all";
    return "off";
}

} // namespace

MprisPlayer::MprisPlayer(std::string scriptName, std::string busName)
    : m_scriptName(std::move(scriptName))
    , m_link(std::make_unique<MprisLink>(std::move(busName), m_scriptName))
{
    m_link->setChangeListener([this] { changed(); });
}

MprisPlayer::~MprisPlayer() = default;

std::variant<std::unique_ptr<MprisPlayer>, std::string> MprisPlayer::choose(
    const std::string& scriptName, const std::string& name)
{
    if (name.empty()) {
        const std::vector<MprisPeer> peers = listMprisPlayers();
        if (peers.empty())
            return std::string("no MPRIS player is on the session bus; start one, or name it as mpris:NAME");
        return std::make_unique<MprisPlayer>(scriptName, peers.front().busName);
    }
    if (auto problem = checkName(name))
        return *problem;
    return std::make_unique<MprisPlayer>(scriptName, name.rfind(kMprisPrefix, 0) == 0 ? name : kMprisPrefix + name);
}

std::optional<std::string> MprisPlayer::checkName(const std::string& name)
{
    const std::string busName = name.rfind(kMprisPrefix, 0) == 0 ? name : kMprisPrefix + name;
    // A bus name: dot-separated elements of letters, digits, '_' and '-',
    // none empty nor starting with a digit, 255 bytes at most.
    bool valid = busName.size() <= 255 && busName.back() != '.';
    bool elementStart = true;
    for (const char c : busName) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
        const bool digit = c >= '0' && c <= '9';
        if (c == '.') {
            valid = valid && !elementStart;
            elementStart = true;
            continue;
        }
        valid = valid && (letter || (digit && !elementStart));
        elementStart = false;
    }
    if (!valid)
        return "\"" + name + "\" is not the name of an MPRIS player (mpris:NAME means org.mpris.MediaPlayer2.NAME)";
    return std::nullopt;
}

const std::string& MprisPlayer::busName() const
{
    return m_link->busName();
}

std::string MprisPlayer::displayName() const
{
    if (!m_link->identity().empty())
        return m_link->identity();
    return fallbackIdentity(m_link->busName());
}

void MprisPlayer::beginPoll(const PollBudget& budget)
{
    m_link->beginPoll(budget);
}

std::uint64_t MprisPlayer::busCalls() const
{
    return m_link->calls();
}

const script::Dictionary& MprisPlayer::dictionary() const
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

bool MprisPlayer::isRunning() const
{
    return m_link->hasOwner();
}

void MprisPlayer::launch()
{
    m_link->activate(m_launchProblem);
}

Error MprisPlayer::notRunning() const
{
    return Error{errc::AppNotRunning, name() + " isn't running."};
}

Result<MprisPlayer::Target> MprisPlayer::step(const Target& from, const std::vector<Reference>& path, std::size_t at)
{
    using Kind = Target::Kind;
    const Reference& ref = path[at];
    const bool fromListHolder = from.kind == Kind::Application || from.kind == Kind::Playlist;
    if (ref.kind == Reference::Kind::Property) {
        if (from.kind != Kind::Application)
            return cantGet(path, at + 1);
        if (ref.term == "current playlist")
            return Target{Kind::Playlist, 0, {}};
        if (ref.term == "current track") {
            if (auto error = m_link->load())
                return *error;
            MprisTrack current = m_link->current();
            if (current.present)
                return Target{Kind::CurrentTrack, 0, std::move(current)};
        }
        return cantGet(path, at + 1);
    }
    if (ref.term == "playlist" && from.kind == Kind::Application) {
        if ((ref.kind == Reference::Kind::ElementByIndex && (ref.index == 1 || ref.index == -1))
            || (ref.kind == Reference::Kind::ElementByName && ref.name == displayName()))
            return Target{Kind::Playlist, 0, {}};
        return cantGet(path, at + 1);
    }
    if (ref.term != "track" || !fromListHolder)
        return cantGet(path, at + 1);
    if (auto error = m_link->loadTrackList())
        return error->number == errc::CantGet ? cantGet(path, at + 1) : *error;
    std::optional<std::size_t> place;
    if (ref.kind == Reference::Kind::ElementByIndex) {
        // Negative indices count from the end: track -1 is the last.
        const std::int64_t n = std::int64_t(m_link->trackCount());
        const std::int64_t index = ref.index < 0 ? n + 1 + ref.index : ref.index;
        if (index >= 1 && index <= n)
            place = std::size_t(index);
    } else {
        Result<std::optional<std::size_t>> named = m_link->placeOfName(ref.name);
        if (!named)
            return named.error();
        place = named.value();
    }
    if (!place)
        return cantGet(path, at + 1);
    Result<MprisTrack> track = m_link->listedTrack(*place);
    if (!track)
        return track.error().number == errc::CantGet ? cantGet(path, at + 1) : track.error();
    return Target{Kind::ListedTrack, *place, std::move(track.value())};
}

Result<MprisPlayer::Target> MprisPlayer::resolve(const std::vector<Reference>& path, std::size_t steps)
{
    Target target;
    for (std::size_t i = 0; i < steps; ++i) {
        if (!isObjectStep(path[i]))
            return cantGet(path, i + 1);
        Result<Target> next = step(target, path, i);
        if (!next)
            return next.error();
        target = next.value();
    }
    return target;
}

Result<Value> MprisPlayer::property(const Target& target, const std::string& term)
{
    if (auto error = m_link->load())
        return *error;
    const QVariantMap player = m_link->player();
    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player state")
            return Value::constant(stateName(player.value("PlaybackStatus").toString()));
        if (term == "player position") {
            Result<double> seconds = m_link->position();
            if (!seconds)
                return seconds.error();
            return Value::real(seconds.value());
        }
        if (term == "name")
            return Value::text(name());
        break;
    case Target::Kind::Playlist:
        // A player without these properties neither shuffles nor repeats.
        if (term == "shuffle")
            return Value::boolean(player.value("Shuffle").toBool());
        if (term == "song repeat")
            return Value::constant(repeatName(player.value("LoopStatus").toString()));
        if (term == "name")
            return Value::text(displayName());
        if (term == "index")
            return Value::integer(1);
        break;
    case Target::Kind::CurrentTrack:
    case Target::Kind::ListedTrack: {
        if (term == "index" && target.kind == Target::Kind::CurrentTrack) {
            if (auto error = m_link->loadTrackList())
                return *error;
            if (const auto place = m_link->placeOf(target.track.trackId))
                return Value::integer(std::int64_t(*place));
            break;
        }
        const MprisTrack& t = target.track;
        if (term == "name")
            return Value::text(t.name);
        if (term == "artist")
            return Value::text(t.artist);
        if (term == "album")
            return Value::text(t.album);
        if (term == "track number")
            return Value::integer(t.trackNumber);
        if (term == "track count")
            return Value::integer(0);
        if (term == "duration")
            return Value::real(t.duration);
        if (term == "rating")
            return Value::integer(t.rating);
        if (term == "index")
            return Value::integer(std::int64_t(target.place));
        break;
    }
    }
    return Error{errc::CantGet, {}};
}

Value MprisPlayer::objectValue(const Target& target) const
{
    ObjectSpecifier object{name(), {}};
    if (target.kind == Target::Kind::CurrentTrack) {
        object.path.push_back({Reference::Kind::Property, "current track", 0, {}});
        return Value::object(std::move(object));
    }
    if (target.kind != Target::Kind::Application)
        object.path.push_back({Reference::Kind::ElementByIndex, "playlist", 1, {}});
    if (target.kind == Target::Kind::ListedTrack)
        object.path.push_back({Reference::Kind::ElementByIndex, "track", std::int64_t(target.place), {}});
    return Value::object(std::move(object));
}

Result<Value> MprisPlayer::get(const ObjectSpecifier& object)
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
        return value.error().message.empty() || value.error().number == errc::CantGet ? cantGet(path, path.size())
                                                                                     : value.error();
    return value;
}

Result<Value> MprisPlayer::set(const ObjectSpecifier& object, const Value& value)
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
    auto done = [&](std::optional<Error> error) -> Result<Value> {
        if (!error)
            return Value();
        return error->number == errc::CantSet ? cantSet(path) : *error;
    };

    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player position") {
            if (value.type() != Value::Type::Integer && value.type() != Value::Type::Real)
                return cantMake(value, "real");
            const double seconds = value.type() == Value::Type::Integer ? double(value.asInteger()) : value.asReal();
            if (!std::isfinite(seconds))
                return cantMake(value, "real");
            if (auto error = m_link->load())
                return *error;
            const MprisTrack current = m_link->current();
            if (!current.present || current.trackId.empty())
                return cantSet(path);
            const double clamped = std::clamp(seconds, 0.0, current.duration > 0 ? current.duration : seconds);
            return done(m_link->invoke(kMprisPlayerInterface, "SetPosition",
                {QVariant::fromValue(QDBusObjectPath(QString::fromStdString(current.trackId))),
                    QVariant::fromValue(qlonglong(std::llround(std::max(0.0, clamped) * 1e6)))}));
        }
        break;
    case Target::Kind::Playlist:
        if (term == "shuffle") {
            if (value.type() != Value::Type::Boolean)
                return cantMake(value, "boolean");
            return done(m_link->setProperty(kMprisPlayerInterface, "Shuffle", value.asBoolean()));
        }
        if (term == "song repeat") {
            const std::string repeat = value.type() == Value::Type::Constant ? value.asConstant().name : "";
            const char* loop = repeat == "off" ? "None" : repeat == "one" ? "Track" : repeat == "all" ? "Playlist" : nullptr;
            if (!loop)
                return cantMake(value, "song repeat");
            return done(m_link->setProperty(kMprisPlayerInterface, "LoopStatus", QString(loop)));
        }
        break;
    case Target::Kind::CurrentTrack:
    case Target::Kind::ListedTrack:
        // MPRIS offers no way to rate a track.
        if (term == "rating")
            return Error{errc::CantSet, displayName() + " can't set the rating of a track."};
        break;
    }
    return cantSet(path);
}

Result<bool> MprisPlayer::exists(const ObjectSpecifier& object)
{
    if (!isRunning())
        return notRunning();
    const auto& path = object.path;
    if (path.empty())
        return true;
    if (isObjectStep(path.back())) {
        Result<Target> target = resolve(path, path.size());
        if (!target && (target.error().number == errc::Timeout || target.error().number == errc::AppNotRunning))
            return target.error();
        return target.ok();
    }
    Result<Target> target = resolve(path, path.size() - 1);
    if (!target)
        return false;
    return bool(property(target.value(), path.back().term));
}

Result<Value> MprisPlayer::command(const std::string& term, const std::optional<ObjectSpecifier>& directObject)
{
    if (term == "launch" || term == "activate") {
        // The engine launched it before sending this, or failed with the
        // reason already.
        return Value();
    }
    if (term == "quit") {
        if (!isRunning())
            return Value();
        if (auto error = m_link->load())
            return *error;
        if (!m_link->root().value("CanQuit").toBool())
            return Error{errc::DoesNotUnderstand, displayName() + " can't be quit from here."};
        if (auto error = m_link->invoke(kMprisRootInterface, "Quit"))
            return *error;
        return Value();
    }
    if (!isRunning())
        return notRunning();
    const char* method = nullptr;
    if (term == "play") {
        method = "Play";
        if (directObject) {
            Result<Target> target = resolve(directObject->path, directObject->path.size());
            if (!target)
                return target.error();
            if (target.value().kind == Target::Kind::ListedTrack) {
                const std::string id = target.value().track.trackId;
                if (auto error = m_link->invoke(kMprisTrackListInterface, "GoTo",
                        {QVariant::fromValue(QDBusObjectPath(QString::fromStdString(id)))}))
                    return *error;
            }
        }
    } else if (term == "pause") {
        method = "Pause";
    } else if (term == "playpause") {
        method = "PlayPause";
    } else if (term == "stop") {
        method = "Stop";
    } else if (term == "next track") {
        method = "Next";
    } else if (term == "previous track") {
        method = "Previous";
    } else {
        return Error{errc::DoesNotUnderstand, name() + " doesn't understand the \"" + term + "\" message."};
    }
    if (auto error = m_link->invoke(kMprisPlayerInterface, method))
        return *error;
    return Value();
}

} // namespace players
