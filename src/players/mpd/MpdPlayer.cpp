#include "players/mpd/MpdPlayer.h"

#include "kit/Task.h"
#include "players/PlayerErrors.h"

#include <mpd/client.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace players {

using script::Error;
using script::ObjectSpecifier;
using script::Reference;
using script::Result;
using script::Value;
namespace errc = script::errc;
using namespace objects;
using Outcome = MpdConnection::Outcome;

namespace {

const char* const kQueueName = "Queue";

// The rating sticker's value (the library splits name and value): 0-10 on the server, 0-100 in the scripts.
std::int64_t ratingFromSticker(const char* text)
{
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    return std::clamp<long>(value, 0, 10) * 10;
}

// Reads the one song of a response. The library hands out a song before it
// has read the end of its response: reading on to that end keeps the next
// response of a command list from being taken for the rest of this one.
bool receiveSong(mpd_connection* c, std::optional<MpdSong>& into)
{
    while (mpd_song* s = mpd_recv_song(c)) {
        if (!into)
            into = MpdSong::from(s);
        mpd_song_free(s);
    }
    return mpd_connection_get_error(c) == MPD_ERROR_SUCCESS;
}

} // namespace

MpdPlayer::MpdPlayer(std::string scriptName, MpdAddress address, unsigned timeoutMs)
    : m_name(std::move(scriptName))
    , m_connection(std::move(address), timeoutMs)
{
}

const script::Dictionary& MpdPlayer::dictionary() const
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

bool MpdPlayer::isRunning() const
{
    // Whether it runs is a question for the server; the answer is part of
    // the poll's snapshot.
    return const_cast<MpdPlayer*>(this)->refresh();
}

void MpdPlayer::launch()
{
    m_launchProblem.clear();
    refresh();
}

bool MpdPlayer::launchApplication()
{
    m_launchProblem.clear();
    if (refresh())
        return true;
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
    (void)budget;
    m_connection.beginPoll();
    m_fresh = false;
}

Outcome MpdPlayer::run(const std::function<void(mpd_connection*)>& exchange, std::string* message)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        mpd_connection* c = m_connection.open();
        if (!c)
            return m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped;
        const bool reused = m_connection.isReused();
        m_connection.countRoundTrip();
        exchange(c);
        const Outcome outcome = m_connection.finish(message);
        // MPD closes clients that stayed quiet too long: a kept connection
        // that broke is worth one fresh try.
        if (outcome != Outcome::Dropped || !reused)
            return outcome;
    }
    return Outcome::Dropped;
}

Error MpdPlayer::failure(Outcome outcome, const std::string& message, int number) const
{
    switch (outcome) {
    case Outcome::TimedOut:
        return Error{errc::Timeout, displayName() + " did not answer in time."};
    case Outcome::Dropped:
        return Error{errc::AppNotRunning, m_name + " isn't running."};
    case Outcome::Refused:
    case Outcome::Ok:
        break;
    }
    return Error{number, displayName() + ": " + message};
}

bool MpdPlayer::refresh()
{
    if (m_fresh)
        return true;

    // Ask again, in the same command list, for what the last poll needed
    // besides the status and current song: usually still the same.
    int guessPosition = -1;
    if (m_wantedPosition && m_current && m_status.songPosition >= 0) {
        const int offset = *m_wantedPosition - m_status.songPosition;
        const int guess = m_current->position + offset;
        const bool cached = m_queueVersion == m_status.queueVersion && m_queue.count(guess);
        if (guess >= 0 && unsigned(guess) < m_status.queueLength && !cached)
            guessPosition = guess;
    }
    const std::string guessUri = m_wantedRating.value_or("");
    m_wantedPosition.reset();
    m_wantedRating.reset();

    std::optional<MpdStatus> status;
    std::optional<MpdSong> current;
    std::optional<MpdSong> guessed;
    std::optional<Rating> guessedRating;
    const unsigned ratingIndex = guessPosition >= 0 ? 3 : 2;
    const Outcome outcome = run([&](mpd_connection* c) {
        status.reset();
        current.reset();
        guessed.reset();
        guessedRating.reset();
        mpd_command_list_begin(c, true);
        mpd_send_status(c);
        mpd_send_current_song(c);
        if (guessPosition >= 0)
            mpd_send_get_queue_song_pos(c, unsigned(guessPosition));
        if (!guessUri.empty())
            mpd_send_sticker_get(c, "song", guessUri.c_str(), "rating");
        if (!mpd_command_list_end(c) || !m_connection.awaitAnswer())
            return;
        mpd_status* st = mpd_recv_status(c);
        if (!st)
            return;
        status = MpdStatus::from(st);
        mpd_status_free(st);
        if (!mpd_response_next(c))
            return;
        if (!receiveSong(c, current) || !mpd_response_next(c))
            return;
        if (guessPosition >= 0) {
            if (!receiveSong(c, guessed) || !mpd_response_next(c))
                return;
        }
        if (!guessUri.empty()) {
            if (mpd_pair* pair = mpd_recv_sticker(c)) {
                guessedRating = ratingFromSticker(pair->value);
                mpd_return_sticker(c, pair);
            }
        }
        mpd_response_finish(c);
    });

    if (outcome == Outcome::TimedOut || outcome == Outcome::Dropped || !status) {
        return false;
    }
    if (outcome == Outcome::Refused) {
        // Only the guesses may fail: a position past a shrunken queue, a
        // song without a rating, a server without stickers.
        if (m_connection.errorLocation() < 2)
            return false;
        if (!guessUri.empty() && m_connection.errorLocation() == ratingIndex) {
            if (m_connection.serverError() == MPD_SERVER_ERROR_NO_EXIST)
                guessedRating = 0;
            else
                guessedRating = Error{errc::CantGet, displayName() + " keeps no ratings here."};
        }
    }

    m_status = *status;
    m_current = current;
    if (m_current && m_status.songPosition < 0)
        m_status.songPosition = m_current->position;
    m_ratings.clear();
    if (m_queueVersion != m_status.queueVersion) {
        m_queue.clear();
        m_queueVersion = m_status.queueVersion;
    }
    if (guessed && guessed->position == guessPosition)
        m_queue[guessed->position] = *guessed;
    if (guessedRating && m_current && m_current->uri == guessUri)
        m_ratings.emplace(guessUri, *guessedRating);
    m_fresh = true;
    return true;
}

Result<MpdSong> MpdPlayer::song(int position)
{
    if (m_current && m_current->position == position)
        return *m_current;
    m_wantedPosition = position;
    if (auto it = m_queue.find(position); it != m_queue.end())
        return it->second;
    std::optional<MpdSong> found;
    std::string message;
    const Outcome outcome = run([&](mpd_connection* c) {
        if (mpd_send_get_queue_song_pos(c, unsigned(position)) && m_connection.awaitAnswer()
            && receiveSong(c, found))
            mpd_response_finish(c);
    }, &message);
    if (outcome != Outcome::Ok || !found)
        return failure(outcome == Outcome::Ok ? Outcome::Refused : outcome, message, errc::CantGet);
    m_queue[position] = *found;
    return *found;
}

MpdPlayer::Rating MpdPlayer::rating(const MpdSong& s)
{
    if (m_current && m_current->uri == s.uri)
        m_wantedRating = s.uri;
    if (auto it = m_ratings.find(s.uri); it != m_ratings.end())
        return it->second;
    std::optional<std::int64_t> value;
    std::string message;
    const Outcome outcome = run([&](mpd_connection* c) {
        if (!mpd_send_sticker_get(c, "song", s.uri.c_str(), "rating") || !m_connection.awaitAnswer())
            return;
        if (mpd_pair* pair = mpd_recv_sticker(c)) {
            value = ratingFromSticker(pair->value);
            mpd_return_sticker(c, pair);
        }
        mpd_response_finish(c);
    }, &message);
    Rating result = std::int64_t(0);
    if (outcome == Outcome::Ok)
        result = value.value_or(0);
    else if (outcome == Outcome::Refused && m_connection.serverError() == MPD_SERVER_ERROR_NO_EXIST)
        result = std::int64_t(0);
    else if (outcome == Outcome::Refused)
        result = Error{errc::CantGet, displayName() + " keeps no ratings here: " + message};
    else
        return failure(outcome, message, errc::CantGet);
    m_ratings.emplace(s.uri, result);
    return result;
}

Result<MpdPlayer::Target> MpdPlayer::step(const Target& from, const Reference& ref)
{
    using Kind = Target::Kind;
    switch (ref.kind) {
    case Reference::Kind::Property:
        if (from.kind == Kind::Application && ref.term == "current playlist")
            return Target{Kind::Playlist, -1};
        if (from.kind == Kind::Application && ref.term == "current track" && m_status.songPosition >= 0)
            return Target{Kind::Track, m_status.songPosition};
        break;
    case Reference::Kind::ElementByIndex:
        if (ref.term == "playlist" && from.kind == Kind::Application && (ref.index == 1 || ref.index == -1))
            return Target{Kind::Playlist, -1};
        if (ref.term == "track" && from.kind != Kind::Track) {
            const std::int64_t n = m_status.queueLength;
            const std::int64_t index = ref.index < 0 ? n + 1 + ref.index : ref.index;
            if (index >= 1 && index <= n)
                return Target{Kind::Track, int(index - 1)};
        }
        break;
    case Reference::Kind::ElementByName:
        if (ref.term == "playlist" && from.kind == Kind::Application && ref.name == kQueueName)
            return Target{Kind::Playlist, -1};
        if (ref.term == "track" && from.kind != Kind::Track) {
            std::optional<int> position;
            std::string message;
            const Outcome outcome = run([&](mpd_connection* c) {
                if (!mpd_search_queue_songs(c, true)
                    || !mpd_search_add_tag_constraint(c, MPD_OPERATOR_DEFAULT, MPD_TAG_TITLE, ref.name.c_str())
                    || !mpd_search_commit(c) || !m_connection.awaitAnswer())
                    return;
                while (mpd_song* s = mpd_recv_song(c)) {
                    if (!position || int(mpd_song_get_pos(s)) < *position)
                        position = int(mpd_song_get_pos(s));
                    mpd_song_free(s);
                }
                mpd_response_finish(c);
            }, &message);
            if (outcome == Outcome::TimedOut || outcome == Outcome::Dropped)
                return failure(outcome, message, errc::CantGet);
            if (position)
                return Target{Kind::Track, *position};
        }
        break;
    }
    return Error{errc::CantGet, {}};
}

Result<MpdPlayer::Target> MpdPlayer::resolve(const std::vector<Reference>& path, std::size_t steps)
{
    Target target;
    for (std::size_t i = 0; i < steps; ++i) {
        if (!isObjectStep(path[i]))
            return cantGet(path, i + 1);
        Result<Target> next = step(target, path[i]);
        if (!next)
            return next.error().message.empty() ? cantGet(path, i + 1) : next.error();
        target = next.value();
    }
    return target;
}

Result<Value> MpdPlayer::property(const Target& target, const std::string& term)
{
    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player state") {
            switch (m_status.state) {
            case MpdStatus::State::Playing: return Value::constant("playing");
            case MpdStatus::State::Paused: return Value::constant("paused");
            case MpdStatus::State::Stopped: return Value::constant("stopped");
            }
        }
        if (term == "player position")
            return Value::real(m_status.elapsed);
        if (term == "name")
            return Value::text(m_name);
        break;
    case Target::Kind::Playlist:
        if (term == "shuffle")
            return Value::boolean(m_status.random);
        if (term == "song repeat")
            return Value::constant(!m_status.repeat ? "off" : m_status.single ? "one" : "all");
        if (term == "name")
            return Value::text(kQueueName);
        if (term == "index")
            return Value::integer(1);
        break;
    case Target::Kind::Track: {
        if (term == "index")
            return Value::integer(target.position + 1);
        Result<MpdSong> found = song(target.position);
        if (!found)
            return found.error();
        const MpdSong& s = found.value();
        if (term == "name")
            return Value::text(s.name());
        if (term == "artist")
            return Value::text(s.artist);
        if (term == "album")
            return Value::text(s.album);
        if (term == "track number")
            return Value::integer(MpdSong::trackNumbers(s.track).first);
        if (term == "track count")
            return Value::integer(MpdSong::trackNumbers(s.track).second);
        if (term == "duration")
            return Value::real(s.duration);
        if (term == "rating") {
            Rating r = rating(s);
            if (!r)
                return r.error();
            return Value::integer(r.value());
        }
        break;
    }
    }
    return Error{errc::CantGet, {}};
}

Value MpdPlayer::objectValue(const Target& target) const
{
    ObjectSpecifier object{m_name, {}};
    if (target.kind != Target::Kind::Application)
        object.path.push_back({Reference::Kind::ElementByIndex, "playlist", 1, {}});
    if (target.kind == Target::Kind::Track)
        object.path.push_back({Reference::Kind::ElementByIndex, "track", std::int64_t(target.position) + 1, {}});
    return Value::object(std::move(object));
}

Result<Value> MpdPlayer::get(const ObjectSpecifier& object)
{
    if (!refresh())
        return failure(m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped, {}, errc::CantGet);
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
        return value.error().message.empty() ? cantGet(path, path.size()) : value.error();
    return value;
}

Result<Value> MpdPlayer::simple(const std::function<bool(mpd_connection*)>& send, int errorNumber)
{
    std::string message;
    const Outcome outcome = run([&](mpd_connection* c) {
        if (send(c) && m_connection.awaitAnswer())
            mpd_response_finish(c);
    }, &message);
    invalidate();
    if (outcome == Outcome::Ok)
        return Value();
    return failure(outcome, message, errorNumber);
}

Result<Value> MpdPlayer::set(const ObjectSpecifier& object, const Value& value)
{
    if (!refresh())
        return failure(m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped, {}, errc::CantSet);
    const auto& path = object.path;
    if (path.empty() || isObjectStep(path.back()))
        return cantSet(path);
    Result<Target> resolved = resolve(path, path.size() - 1);
    if (!resolved)
        return resolved.error();
    const Target target = resolved.value();
    const std::string& term = path.back().term;

    switch (target.kind) {
    case Target::Kind::Application:
        if (term == "player position") {
            const std::optional<double> seconds = number(value);
            if (!seconds)
                return cantMake(value, "real");
            if (m_status.songPosition < 0)
                return cantSet(path);
            const float to = float(std::max(0.0, *seconds));
            return simple([to](mpd_connection* c) { return mpd_send_seek_current(c, to, false); }, errc::CantSet);
        }
        break;
    case Target::Kind::Playlist:
        if (term == "shuffle") {
            if (value.type() != Value::Type::Boolean)
                return cantMake(value, "boolean");
            const bool on = value.asBoolean();
            return simple([on](mpd_connection* c) { return mpd_send_random(c, on); }, errc::CantSet);
        }
        if (term == "song repeat") {
            const std::string name = value.type() == Value::Type::Constant ? value.asConstant().name : "";
            if (name != "off" && name != "one" && name != "all")
                return cantMake(value, "song repeat");
            // Both modes in one command list; "off" leaves single alone, as
            // it means nothing without repeat.
            return simple([name](mpd_connection* c) {
                mpd_command_list_begin(c, false);
                mpd_send_repeat(c, name != "off");
                if (name != "off")
                    mpd_send_single(c, name == "one");
                return mpd_command_list_end(c);
            }, errc::CantSet);
        }
        break;
    case Target::Kind::Track:
        if (term == "rating") {
            const std::optional<double> rating = number(value);
            if (!rating)
                return cantMake(value, "integer");
            Result<MpdSong> found = song(target.position);
            if (!found)
                return found.error();
            const long stars = std::lround(std::clamp(*rating, 0.0, 100.0) / 10.0);
            const std::string uri = found.value().uri;
            return simple([&](mpd_connection* c) {
                return mpd_send_sticker_set(c, "song", uri.c_str(), "rating", std::to_string(stars).c_str());
            }, errc::CantSet);
        }
        break;
    }
    return cantSet(path);
}

Result<bool> MpdPlayer::exists(const ObjectSpecifier& object)
{
    if (!refresh())
        return failure(m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped, {}, errc::CantGet);
    const auto& path = object.path;
    if (path.empty())
        return true;
    if (isObjectStep(path.back()))
        return bool(resolve(path, path.size()));
    Result<Target> target = resolve(path, path.size() - 1);
    return target && bool(property(target.value(), path.back().term));
}

Result<Value> MpdPlayer::command(const std::string& term, const std::optional<ObjectSpecifier>& directObject)
{
    if (term == "launch" || term == "activate") {
        launchApplication();
        return Value();
    }
    if (!refresh())
        return failure(m_connection.hasGivenUp() ? Outcome::TimedOut : Outcome::Dropped, {}, errc::CantGet);
    if (term == "play") {
        if (directObject) {
            Result<Target> target = resolve(directObject->path, directObject->path.size());
            if (!target)
                return target.error();
            if (target.value().kind == Target::Kind::Track) {
                const unsigned position = unsigned(target.value().position);
                return simple([position](mpd_connection* c) { return mpd_send_play_pos(c, position); }, errc::CantSet);
            }
        }
        // MPD's play would restart a paused song from its start on some
        // versions; resuming keeps the place.
        if (m_status.state == MpdStatus::State::Paused)
            return simple([](mpd_connection* c) { return mpd_send_pause(c, false); }, errc::CantSet);
        return simple([](mpd_connection* c) { return mpd_send_play(c); }, errc::CantSet);
    }
    if (term == "pause")
        return simple([](mpd_connection* c) { return mpd_send_pause(c, true); }, errc::CantSet);
    if (term == "playpause") {
        if (m_status.state == MpdStatus::State::Stopped)
            return simple([](mpd_connection* c) { return mpd_send_play(c); }, errc::CantSet);
        return simple([](mpd_connection* c) { return mpd_send_toggle_pause(c); }, errc::CantSet);
    }
    if (term == "stop" || term == "quit")
        return simple([](mpd_connection* c) { return mpd_send_stop(c); }, errc::CantSet);
    if (term == "next track")
        return simple([](mpd_connection* c) { return mpd_send_next(c); }, errc::CantSet);
    if (term == "previous track")
        return simple([](mpd_connection* c) { return mpd_send_previous(c); }, errc::CantSet);
    return Error{errc::DoesNotUnderstand, m_name + " doesn't understand the \"" + term + "\" message."};
}

} // namespace players
