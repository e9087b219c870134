#include "players/mpd/MpdStatus.h"

#include <mpd/pair.h>
#include <mpd/status.h>

#include <algorithm>
#include <memory>

namespace players {

MpdStatus MpdStatus::from(const std::vector<MpdPair>& lines)
{
    MpdStatus s;
    std::unique_ptr<mpd_status, decltype(&mpd_status_free)> status(mpd_status_begin(), mpd_status_free);
    if (!status)
        return s;
    for (const MpdPair& line : lines) {
        const mpd_pair pair{line.name.c_str(), line.value.c_str()};
        mpd_status_feed(status.get(), &pair);
    }
    switch (mpd_status_get_state(status.get())) {
    case MPD_STATE_PLAY: s.state = State::Playing; break;
    case MPD_STATE_PAUSE: s.state = State::Paused; break;
    default: s.state = State::Stopped; break;
    }
    s.random = mpd_status_get_random(status.get());
    s.repeat = mpd_status_get_repeat(status.get());
    s.single = mpd_status_get_single(status.get());
    s.queueLength = mpd_status_get_queue_length(status.get());
    s.queueVersion = mpd_status_get_queue_version(status.get());
    const auto inQueue = [&](int position) -> std::int64_t {
        return position >= 0 && std::int64_t(position) < std::int64_t(s.queueLength) ? position : -1;
    };
    s.songPosition = inQueue(mpd_status_get_song_pos(status.get()));
    s.elapsed = std::max(0.0, mpd_status_get_elapsed_ms(status.get()) / 1000.0);
    return s;
}

} // namespace players
