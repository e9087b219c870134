#include "players/mpd/MpdPlayer.h"

#include "kit/Task.h"
#include "players/PlayerObjects.h"

#include <mpd/protocol.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace players {

using script::Error;
using script::Result;
using script::Value;
namespace errc = script::errc;
using namespace objects;
using Outcome = MpdConnection::Outcome;

namespace {

const char* const kQueueName = "Queue";

// The most songs one search of the queue reads.
constexpr std::size_t kMostFound = 1000;

// The rating sticker of an answer ("sticker: rating=8"): 0-10 on the server,
// 0-100 in the scripts.
std::int64_t ratingFromSticker(const std::vector<MpdPair>& lines)
{
    for (const MpdPair& line : lines) {
        if (line.name != "sticker" || line.value.rfind("rating=", 0) != 0)
            continue;
        const long value = std::strtol(line.value.c_str() + 7, nullptr, 10);
        return std::clamp<long>(value, 0, 10) * 10;
    }
    return 0;
}

std::string positionText(std::int64_t position)
{
    return std::to_string(position);
}

// Seconds as the protocol writes them, whatever the locale.
std::string secondsText(double seconds)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
    return std::string(buffer, result.ptr);
}

} // namespace

MpdPlayer::MpdPlayer(std::string scriptName, MpdAddress address, unsigned timeoutMs)
    : m_name(std::move(scriptName))
    , m_connection(std::move(address), timeoutMs)
{
}

bool MpdPlayer::isRunning()
{
    // Whether it runs is a question for the server; the answer is part of
    // the poll's snapshot.
    return refresh();
}

void MpdPlayer::launch()
{
    m_launchProblem.clear();
    if (!refresh())
        m_launchProblem = m_refusal;
}

bool MpdPlayer::launchApplication()
{
    m_launchProblem.clear();
    if (refresh())
        return true;
    if (!m_refusal.empty()) {
        // The server is there: starting another would not let Zintara in.
        m_launchProblem = m_refusal + ". Zintara needs the server's password: mpd:PASSWORD@HOST:PORT as the player, "
                                      "or PASSWORD@HOST in MPD_HOST.";
        return false;
    }
    if (!m_connection.address().isLocal()) {
        m_launchProblem = "The MPD server Zintara uses is on another machine; start it there.";
        return false;
    }
    // A user service where one is set up, else the user's own server; the
    // next poll finds it once it listens.
    const auto command = (m_launcher ? *m_launcher : MpdLauncher::forCurrentUser()).command();
    if (const auto* problem = std::get_if<std::string>(&command)) {
        m_launchProblem = *problem;
        return false;
    }
    const auto& argv = std::get<std::vector<std::string>>(command);
    if (!kit::Task::launchedTaskWithLaunchPath(argv.front(), {argv.begin() + 1, argv.end()})) {
        m_launchProblem = "The program " + argv.front() + " could not be run.";
        return false;
    }
    return true;
}

void MpdPlayer::beginPoll(const PollBudget& budget)
{
    m_connection.beginPoll(budget);
    m_fresh = false;
}

Error MpdPlayer::failure(Outcome outcome, const std::string& message, int number) const
{
    switch (outcome) {
    case Outcome::TimedOut:
        return Error{errc::Timeout, displayName() + " did not answer in time."};
    case Outcome::Dropped:
        return notRunning();
    case Outcome::Denied:
        return Error{errc::AppNotRunning, m_refusal.empty() ? displayName() + " refused the password." : m_refusal + "."};
    case Outcome::Refused:
    case Outcome::Ok:
        break;
    }
    return Error{number, displayName() + ": " + message};
}

std::optional<Error> MpdPlayer::unavailable(int number)
{
    if (refresh())
        return std::nullopt;
    return unread(number);
}

Error MpdPlayer::unread(int number) const
{
    if (!m_refusal.empty())
        return failure(Outcome::Denied, {}, number);
    return failure(m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped, {}, number);
}

bool MpdPlayer::refresh()
{
    if (m_fresh)
        return true;
    m_refusal.clear();
    const Guesses guesses = takeGuesses();
    MpdAnswer answer;
    const Outcome outcome = m_connection.request(snapshotCommands(guesses), answer);
    if (!snapshotRead(outcome, answer))
        return false;
    readSnapshot(answer);
    keepGuesses(guesses, outcome, answer);
    m_fresh = true;
    return true;
}

MpdPlayer::Guesses MpdPlayer::takeGuesses()
{
    Guesses guesses;
    if (m_wantedPosition && !m_queue.count(*m_wantedPosition))
        guesses.position = *m_wantedPosition;
    guesses.uri = m_wantedRating.value_or("");
    m_wantedPosition.reset();
    m_wantedRating.reset();
    return guesses;
}

std::vector<std::string> MpdPlayer::snapshotCommands(const Guesses& guesses)
{
    // The status and the current song: the first kSnapshotParts answers.
    std::vector<std::string> commands{"status", "currentsong"};
    if (guesses.position >= 0)
        commands.push_back("playlistinfo " + positionText(guesses.position));
    if (!guesses.uri.empty())
        commands.push_back(MpdConnection::command("sticker", {"get", "song", guesses.uri, "rating"}));
    return commands;
}

bool MpdPlayer::snapshotRead(Outcome outcome, const MpdAnswer& answer)
{
    if (outcome == Outcome::Denied) {
        m_refusal = displayName() + " refused the password: " + m_connection.passwordRefusal();
        return false;
    }
    if (outcome == Outcome::TimedOut || outcome == Outcome::Dropped)
        return false;
    // Only the guesses may fail: a position past a shrunken queue, a song
    // without a rating, a server without stickers. A server that will not
    // even tell its status to a client without the password is there, and
    // turning Zintara away.
    if (outcome == Outcome::Refused && answer.at < kSnapshotParts) {
        if (answer.error == MPD_SERVER_ERROR_PERMISSION)
            m_refusal = displayName() + (m_connection.hasPassword() ? " refused the password" : " wants a password");
        return false;
    }
    return true;
}

void MpdPlayer::readSnapshot(const MpdAnswer& answer)
{
    m_status = MpdStatus::from(answer.part(0));
    // A stopped server keeps its place in the queue but plays nothing: as
    // with the built-in player (and mpc), there is no current track then.
    m_current.reset();
    if (m_status.state != MpdStatus::State::Stopped)
        m_current = MpdSong::first(answer.part(1));
    if (m_current && (m_current->position < 0 || m_current->position >= std::int64_t(m_status.queueLength)))
        m_current.reset();
    m_status.songPosition = m_current ? m_current->position : -1;
    // A position past the song's end would put the progress bar past its own.
    if (m_current && m_current->duration > 0)
        m_status.elapsed = std::min(m_status.elapsed, m_current->duration);

    m_ratings.clear();
    if (m_queueVersion != m_status.queueVersion) {
        m_queue.clear();
        m_queueVersion = m_status.queueVersion;
    }
}

void MpdPlayer::keepGuesses(const Guesses& guesses, Outcome outcome, const MpdAnswer& answer)
{
    // The answers after the snapshot's, in the order snapshotCommands()
    // asked; a refused one ends the list at answer.at.
    std::size_t part = kSnapshotParts;
    const auto answered = [&](std::size_t at) { return outcome == Outcome::Ok || answer.at > at; };
    if (guesses.position >= 0) {
        const std::size_t at = part++;
        std::optional<MpdSong> guessed = answered(at) ? MpdSong::first(answer.part(at)) : std::nullopt;
        if (guessed && guessed->position == guesses.position)
            m_queue[guessed->position] = *guessed;
    }
    if (guesses.uri.empty() || !m_current || m_current->uri != guesses.uri)
        return;
    const std::size_t at = part;
    if (answered(at)) {
        m_ratings.emplace(guesses.uri, ratingFromSticker(answer.part(at)));
    } else if (answer.at == at) {
        // No rating sticker reads as no rating; a server without stickers
        // keeps none.
        m_ratings.emplace(guesses.uri, answer.error == MPD_SERVER_ERROR_NO_EXIST
                ? Rating(0)
                : Rating(Error{errc::CantGet, displayName() + " keeps no ratings here."}));
    }
}

Result<MpdSong> MpdPlayer::song(std::int64_t position)
{
    if (m_current && m_current->position == position)
        return *m_current;
    m_wantedPosition = position;
    if (auto it = m_queue.find(position); it != m_queue.end())
        return it->second;
    MpdAnswer answer;
    const Outcome outcome = m_connection.request({"playlistinfo " + positionText(position)}, answer);
    const std::optional<MpdSong> found = outcome == Outcome::Ok ? MpdSong::first(answer.part(0)) : std::nullopt;
    if (!found || found->position != position)
        return failure(outcome == Outcome::Ok ? Outcome::Refused : outcome, answer.message, errc::CantGet);
    m_queue[position] = *found;
    return *found;
}

MpdPlayer::Rating MpdPlayer::rating(const MpdSong& s)
{
    if (m_current && m_current->uri == s.uri)
        m_wantedRating = s.uri;
    if (auto it = m_ratings.find(s.uri); it != m_ratings.end())
        return it->second;
    MpdAnswer answer;
    const Outcome outcome = m_connection.request({MpdConnection::command("sticker", {"get", "song", s.uri, "rating"})}, answer);
    Rating result = std::int64_t(0);
    if (outcome == Outcome::Ok)
        result = ratingFromSticker(answer.part(0));
    else if (outcome == Outcome::Refused && answer.error == MPD_SERVER_ERROR_NO_EXIST)
        result = std::int64_t(0);
    else if (outcome == Outcome::Refused)
        result = Error{errc::CantGet, displayName() + " keeps no ratings here: " + answer.message};
    else
        return failure(outcome, answer.message, errc::CantGet);
    m_ratings.emplace(s.uri, result);
    return result;
}

Result<Value> MpdPlayer::simple(const std::vector<std::string>& commands, int errorNumber)
{
    MpdAnswer answer;
    const Outcome outcome = m_connection.request(commands, answer);
    invalidate();
    if (outcome == Outcome::Ok)
        return Value();
    return failure(outcome, answer.message, errorNumber);
}

std::string MpdPlayer::playlistName() const
{
    return kQueueName;
}

Result<std::optional<std::int64_t>> MpdPlayer::currentTrack()
{
    if (m_status.songPosition < 0)
        return std::optional<std::int64_t>();
    return std::optional<std::int64_t>(m_status.songPosition);
}

Result<std::optional<std::int64_t>> MpdPlayer::trackNamed(const std::string& name)
{
    MpdAnswer answer;
    const Outcome outcome = m_connection.request({MpdConnection::command("playlistfind", {"Title", name})}, answer);
    if (outcome == Outcome::TimedOut || outcome == Outcome::Dropped || outcome == Outcome::Denied)
        return failure(outcome, answer.message, errc::CantGet);
    std::optional<std::int64_t> position;
    for (const MpdSong& s : MpdSong::list(answer.part(0), kMostFound)) {
        if (s.position >= 0 && s.position < std::int64_t(m_status.queueLength) && (!position || s.position < *position))
            position = s.position;
    }
    return position;
}

Result<PlayerState> MpdPlayer::playerState()
{
    switch (m_status.state) {
    case MpdStatus::State::Playing: return PlayerState::Playing;
    case MpdStatus::State::Paused: return PlayerState::Paused;
    case MpdStatus::State::Stopped: break;
    }
    return PlayerState::Stopped;
}

Result<MpdPlayer::PlaylistState> MpdPlayer::playlistState()
{
    return PlaylistState{m_status.random,
        !m_status.repeat ? SongRepeat::Off : m_status.single ? SongRepeat::One : SongRepeat::All};
}

Result<objects::TrackFields> MpdPlayer::trackFields(const std::int64_t& position)
{
    Result<MpdSong> found = song(position);
    if (!found)
        return found.error();
    const MpdSong& s = found.value();
    const auto [number, count] = MpdSong::trackNumbers(s.track);
    return objects::TrackFields{s.name(), s.artist, s.album, number, count, s.duration};
}

Result<std::int64_t> MpdPlayer::trackRating(const std::int64_t& position)
{
    Result<MpdSong> found = song(position);
    if (!found)
        return found.error();
    return rating(found.value());
}

Result<Value> MpdPlayer::setPlayerPosition(double seconds)
{
    if (m_status.songPosition < 0)
        return nothing(errc::CantSet);
    return simple({"seekcur " + secondsText(std::max(0.0, seconds))}, errc::CantSet);
}

Result<Value> MpdPlayer::setShuffle(bool shuffle)
{
    return simple({shuffle ? "random 1" : "random 0"}, errc::CantSet);
}

Result<Value> MpdPlayer::setSongRepeat(SongRepeat repeat)
{
    // Both modes in one command list; "off" clears single too, since single
    // without repeat makes MPD stop after the current song.
    return simple({repeat == SongRepeat::Off ? "repeat 0" : "repeat 1", repeat == SongRepeat::One ? "single 1" : "single 0"},
        errc::CantSet);
}

Result<Value> MpdPlayer::setRating(const std::int64_t& position, double rating)
{
    Result<MpdSong> found = song(position);
    if (!found)
        return found.error();
    const long stars = std::lround(std::clamp(rating, 0.0, 100.0) / 10.0);
    return simple({MpdConnection::command("sticker", {"set", "song", found.value().uri, "rating", std::to_string(stars)})},
        errc::CantSet);
}

Result<Value> MpdPlayer::launchCommand()
{
    launchApplication();
    return Value();
}

Result<Value> MpdPlayer::quit()
{
    if (auto error = unavailable(errc::CantGet))
        return *error;
    return simple({"stop"}, errc::CantSet);
}

Result<Value> MpdPlayer::play(const std::int64_t* position)
{
    if (position)
        return simple({"play " + positionText(*position)}, errc::CantSet);
    // MPD's play would restart a paused song from its start on some
    // versions; resuming keeps the place.
    if (m_status.state == MpdStatus::State::Paused)
        return simple({"pause 0"}, errc::CantSet);
    return simple({"play"}, errc::CantSet);
}

Result<Value> MpdPlayer::transport(Transport command)
{
    switch (command) {
    case Transport::Pause: return simple({"pause 1"}, errc::CantSet);
    case Transport::PlayPause: return simple({m_status.state == MpdStatus::State::Stopped ? "play" : "pause"}, errc::CantSet);
    case Transport::Stop: return simple({"stop"}, errc::CantSet);
    case Transport::NextTrack: return simple({"next"}, errc::CantSet);
    case Transport::PreviousTrack: break;
    }
    return simple({"previous"}, errc::CantSet);
}

} // namespace players
