#include "players/mpris/MprisPlayer.h"

#include "players/PlayerObjects.h"
#include "players/mpris/MprisBus.h"
#include "players/mpris/MprisLink.h"
#include "players/mpris/MprisSession.h"

#include <QDBusObjectPath>

#include <cmath>

namespace players {

using script::Error;
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

PlayerState stateFromStatus(const QString& status)
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

Result<std::optional<MprisTrackRef>> MprisPlayer::currentTrack()
{
    if (auto fault = m_link->load())
        return scriptError(*fault, errc::CantGet);
    MprisTrack current = m_link->current();
    if (!current.present)
        return std::optional<MprisTrackRef>();
    return std::optional<MprisTrackRef>(MprisTrackRef{0, std::move(current)});
}

Result<std::size_t> MprisPlayer::trackCount()
{
    if (auto fault = m_link->loadTrackList())
        return scriptError(*fault, errc::CantGet);
    return m_link->trackCount();
}

Result<MprisTrackRef> MprisPlayer::trackAt(std::size_t place)
{
    MprisResult<MprisTrack> track = m_link->listedTrack(place);
    if (!track)
        return scriptError(track.error(), errc::CantGet);
    return MprisTrackRef{place, std::move(track.value())};
}

Result<std::optional<MprisTrackRef>> MprisPlayer::trackNamed(const std::string& name)
{
    if (auto fault = m_link->loadTrackList())
        return scriptError(*fault, errc::CantGet);
    MprisResult<std::optional<std::size_t>> place = m_link->placeOfName(name);
    if (!place)
        return scriptError(place.error(), errc::CantGet);
    if (!place.value())
        return std::optional<MprisTrackRef>();
    Result<MprisTrackRef> track = trackAt(*place.value());
    if (!track)
        return track.error();
    return std::optional<MprisTrackRef>(std::move(track.value()));
}

std::optional<std::int64_t> MprisPlayer::placeOf(const MprisTrackRef& track) const
{
    if (track.place == 0)
        return std::nullopt;
    return std::int64_t(track.place);
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

Result<PlayerState> MprisPlayer::playerState()
{
    if (auto fault = m_link->load())
        return scriptError(*fault, errc::CantGet);
    return stateFromStatus(m_link->player().value("PlaybackStatus").toString());
}

Result<double> MprisPlayer::playerPosition()
{
    MprisResult<double> seconds = m_link->position();
    if (!seconds)
        return scriptError(seconds.error(), errc::CantGet);
    return seconds.value();
}

Result<MprisPlayer::PlaylistState> MprisPlayer::playlistState()
{
    if (auto fault = m_link->load())
        return scriptError(*fault, errc::CantGet);
    // A player without these properties neither shuffles nor repeats.
    const QVariantMap player = m_link->player();
    return PlaylistState{player.value("Shuffle").toBool(), songRepeat(player.value("LoopStatus").toString())};
}

Result<objects::TrackFields> MprisPlayer::trackFields(const MprisTrackRef& track)
{
    const MprisTrack& t = track.track;
    // MPRIS has no track count.
    return objects::TrackFields{t.name, t.artist, t.album, t.trackNumber, 0, t.duration};
}

Result<std::int64_t> MprisPlayer::trackIndex(const MprisTrackRef& track)
{
    if (track.place > 0)
        return std::int64_t(track.place);
    if (auto fault = m_link->loadTrackList())
        return scriptError(*fault, errc::CantGet);
    if (const auto place = m_link->placeOf(track.track.trackId))
        return std::int64_t(*place);
    return nothing(errc::CantGet);
}

Result<Value> MprisPlayer::setPlayerPosition(double seconds)
{
    if (auto fault = m_link->load())
        return scriptError(*fault, errc::CantSet);
    const MprisTrack current = m_link->current();
    if (!current.present || current.trackId.empty())
        return nothing(errc::CantSet);
    const double clamped = std::clamp(seconds, 0.0, current.duration > 0 ? current.duration : seconds);
    return applied(m_link->invoke(kMprisPlayerInterface, "SetPosition",
        {QVariant::fromValue(QDBusObjectPath(QString::fromStdString(current.trackId))),
            QVariant::fromValue(qlonglong(std::llround(std::max(0.0, clamped) * 1e6)))}));
}

Result<Value> MprisPlayer::setShuffle(bool shuffle)
{
    return applied(m_link->setProperty(kMprisPlayerInterface, "Shuffle", shuffle));
}

Result<Value> MprisPlayer::setSongRepeat(SongRepeat repeat)
{
    return applied(m_link->setProperty(kMprisPlayerInterface, "LoopStatus", loopStatus(repeat)));
}

Result<Value> MprisPlayer::setRating(const MprisTrackRef&, double)
{
    return Error{errc::CantSet, displayName() + " can't set the rating of a track."};
}

Result<Value> MprisPlayer::applied(const std::optional<MprisFault>& fault) const
{
    if (!fault)
        return Value();
    return scriptError(*fault, errc::CantSet);
}

Result<Value> MprisPlayer::commanded(const std::optional<MprisFault>& fault) const
{
    if (!fault)
        return Value();
    return scriptError(*fault, errc::DoesNotUnderstand);
}

Result<Value> MprisPlayer::quit()
{
    if (!isRunning())
        return Value();
    if (auto fault = m_link->load())
        return commanded(fault);
    if (!m_link->root().value("CanQuit").toBool())
        return Error{errc::DoesNotUnderstand, displayName() + " can't be quit from here."};
    return commanded(m_link->invoke(kMprisRootInterface, "Quit"));
}

Result<Value> MprisPlayer::play(const MprisTrackRef* track)
{
    if (track && track->place > 0) {
        if (auto fault = m_link->invoke(kMprisTrackListInterface, "GoTo",
                {QVariant::fromValue(QDBusObjectPath(QString::fromStdString(track->track.trackId)))}))
            return commanded(fault);
    }
    return commanded(m_link->invoke(kMprisPlayerInterface, "Play"));
}

Result<Value> MprisPlayer::transport(Transport command)
{
    const char* method = "Previous";
    switch (command) {
    case Transport::Pause: method = "Pause"; break;
    case Transport::PlayPause: method = "PlayPause"; break;
    case Transport::Stop: method = "Stop"; break;
    case Transport::NextTrack: method = "Next"; break;
    case Transport::PreviousTrack: break;
    }
    return commanded(m_link->invoke(kMprisPlayerInterface, method));
}

} // namespace players
