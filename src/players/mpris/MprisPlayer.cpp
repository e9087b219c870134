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

// NAME of "mpris:NAME" as a bus name: a full one as it is, else the
// player's name under the MPRIS prefix.
std::string fullBusName(const std::string& name)
{
    return name.rfind(kMprisPrefix, 0) == 0 ? name : kMprisPrefix + name;
}

PlayerState playerState(const QString& status)
{
    if (status == QLatin1String("Playing"))
        return PlayerState::Playing;
    if (status == QLatin1String("Paused"))
        return PlayerState::Paused;
    return PlayerState::Stopped;
}

SongRepeat songRepeat(const QString& loopStatus)
{
    if (loopStatus == QLatin1String("Track"))
        return SongRepeat::One;
    if (loopStatus == QLatin1String("Playlist"))
        return SongRepeat::All;
    return SongRepeat::Off;
}

QString loopStatus(SongRepeat repeat)
{
    switch (repeat) {
    case SongRepeat::One: return QStringLiteral("Track");
    case SongRepeat::All: return QStringLiteral("Playlist");
    case SongRepeat::Off: break;
    }
    return QStringLiteral("None");
}

} // namespace

MprisPlayer::MprisPlayer(std::string scriptName, std::string busName)
    : m_scriptName(std::move(scriptName))
    , m_link(std::make_unique<MprisLink>(std::move(busName)))
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
    return std::make_unique<MprisPlayer>(scriptName, fullBusName(name));
}

std::optional<std::string> MprisPlayer::checkName(const std::string& name)
{
    const std::string busName = fullBusName(name);
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

bool MprisPlayer::isRunning()
{
    return m_link->hasOwner();
}

void MprisPlayer::launch()
{
    m_link->activate(m_launchProblem);
}

Result<MprisPlayer::Target> MprisPlayer::step(const Target& from, const Reference& ref)
{
    using Kind = Target::Kind;
    const bool fromListHolder = from.kind == Kind::Application || from.kind == Kind::Playlist;
    if (ref.kind == Reference::Kind::Property) {
        if (from.kind != Kind::Application)
            return nothing(errc::CantGet);
        if (ref.term == "current playlist")
            return Target{Kind::Playlist, 0, {}};
        if (ref.term == "current track") {
            if (auto fault = m_link->load())
                return scriptError(*fault, errc::CantGet);
            MprisTrack current = m_link->current();
            if (current.present)
                return Target{Kind::CurrentTrack, 0, std::move(current)};
        }
        return nothing(errc::CantGet);
    }
    if (from.kind == Kind::Application && isPlaylistStep(ref, displayName()))
        return Target{Kind::Playlist, 0, {}};
    if (ref.term != "track" || !fromListHolder)
        return nothing(errc::CantGet);
    if (auto fault = m_link->loadTrackList())
        return scriptError(*fault, errc::CantGet);
    std::optional<std::size_t> place;
    if (ref.kind == Reference::Kind::ElementByIndex) {
        place = elementPlace(ref.index, m_link->trackCount());
    } else {
        MprisResult<std::optional<std::size_t>> named = m_link->placeOfName(ref.name);
        if (!named)
            return scriptError(named.error(), errc::CantGet);
        place = named.value();
    }
    if (!place)
        return nothing(errc::CantGet);
    MprisResult<MprisTrack> track = m_link->listedTrack(*place);
    if (!track)
        return scriptError(track.error(), errc::CantGet);
    return Target{Kind::ListedTrack, *place, std::move(track.value())};
}

bool MprisPlayer::decidesExistence(const Error& error) const
{
    return error.number == errc::Timeout || error.number == errc::AppNotRunning;
}

Error MprisPlayer::scriptError(const MprisFault& fault, int asked) const
{
    switch (fault.kind) {
    case MprisFault::Kind::Gone:
        return notRunning();
    case MprisFault::Kind::Silent:
        return Error{errc::Timeout, name() + " did not answer in time."};
    case MprisFault::Kind::Missing:
        // No track list, say: a thing the script cannot have, worded for
        // the path it asked about.
        return nothing(asked);
    case MprisFault::Kind::Refused:
        // A setting the player will not take reads as any property that
        // cannot be set.
        if (asked == errc::CantSet)
            return nothing(asked);
        break;
    }
    return Error{asked, name() + " refused: " + fault.words};
}

Result<Value> MprisPlayer::property(const Target& target, const std::string& term)
{
    if (auto fault = m_link->load())
        return scriptError(*fault, errc::CantGet);
    const QVariantMap player = m_link->player();
    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player state")
            return Value::constant(stateName(playerState(player.value("PlaybackStatus").toString())));
        if (term == "player position") {
            MprisResult<double> seconds = m_link->position();
            if (!seconds)
                return scriptError(seconds.error(), errc::CantGet);
            return Value::real(seconds.value());
        }
        if (term == "name")
            return Value::text(name());
        break;
    case Target::Kind::Playlist:
        // A player without these properties neither shuffles nor repeats.
        if (auto value = playlistProperty(term, player.value("Shuffle").toBool(),
                songRepeat(player.value("LoopStatus").toString()), displayName()))
            return *value;
        break;
    case Target::Kind::CurrentTrack:
    case Target::Kind::ListedTrack: {
        if (term == "index" && target.kind == Target::Kind::CurrentTrack) {
            if (auto fault = m_link->loadTrackList())
                return scriptError(*fault, errc::CantGet);
            if (const auto place = m_link->placeOf(target.track.trackId))
                return Value::integer(std::int64_t(*place));
            break;
        }
        const MprisTrack& t = target.track;
        // MPRIS has no track count.
        if (auto value = trackProperty({t.name, t.artist, t.album, t.trackNumber, 0, t.duration}, term))
            return *value;
        if (term == "rating")
            return Value::integer(t.rating);
        if (term == "index")
            return Value::integer(std::int64_t(target.place));
        break;
    }
    }
    return nothing(errc::CantGet);
}

Value MprisPlayer::objectValue(const Target& target) const
{
    if (target.kind == Target::Kind::CurrentTrack)
        return Value::object({name(), {{Reference::Kind::Property, "current track", 0, {}}}});
    if (target.kind == Target::Kind::ListedTrack)
        return modelObject(true, std::int64_t(target.place));
    return modelObject(target.kind == Target::Kind::Playlist);
}

Result<Value> MprisPlayer::setProperty(const Target& target, const std::string& term, const Value& value)
{
    auto done = [&](std::optional<MprisFault> fault) -> Result<Value> {
        if (!fault)
            return Value();
        return scriptError(*fault, errc::CantSet);
    };

    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player position") {
            const std::optional<double> number = objects::number(value);
            if (!number)
                return cantMake(value, "real");
            const double seconds = *number;
            if (auto fault = m_link->load())
                return done(fault);
            const MprisTrack current = m_link->current();
            if (!current.present || current.trackId.empty())
                return nothing(errc::CantSet);
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
            const std::optional<SongRepeat> repeat = repeatFrom(value);
            if (!repeat)
                return cantMake(value, "song repeat");
            return done(m_link->setProperty(kMprisPlayerInterface, "LoopStatus", loopStatus(*repeat)));
        }
        break;
    case Target::Kind::CurrentTrack:
    case Target::Kind::ListedTrack:
        // MPRIS offers no way to rate a track.
        if (term == "rating")
            return Error{errc::CantSet, displayName() + " can't set the rating of a track."};
        break;
    }
    return nothing(errc::CantSet);
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
        if (auto fault = m_link->load())
            return scriptError(*fault, errc::DoesNotUnderstand);
        if (!m_link->root().value("CanQuit").toBool())
            return Error{errc::DoesNotUnderstand, displayName() + " can't be quit from here."};
        if (auto fault = m_link->invoke(kMprisRootInterface, "Quit"))
            return scriptError(*fault, errc::DoesNotUnderstand);
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
                if (auto fault = m_link->invoke(kMprisTrackListInterface, "GoTo",
                        {QVariant::fromValue(QDBusObjectPath(QString::fromStdString(id)))}))
                    return scriptError(*fault, errc::DoesNotUnderstand);
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
        return doesNotUnderstand(term);
    }
    if (auto fault = m_link->invoke(kMprisPlayerInterface, method))
        return scriptError(*fault, errc::DoesNotUnderstand);
    return Value();
}

} // namespace players
