#include "players/mpd/MpdStatus.h"

#include <mpd/status.h>

namespace players {

MpdStatus MpdStatus::from(const mpd_status* status)
{
    MpdStatus s;
    switch (mpd_status_get_state(status)) {
    case MPD_STATE_PLAY: s.state = State::Playing; break;
    case MPD_STATE_PAUSE: s.state = State::Paused; break;
    default: s.state = State::Stopped; break;
    }
    s.random = mpd_status_get_random(status);
    s.repeat = mpd_status_get_repeat(status);
    s.single = mpd_status_get_single(status);
    s.songPosition = mpd_status_get_song_pos(status);
    s.elapsed = mpd_status_get_elapsed_ms(status) / 1000.0;
    s.queueLength = mpd_status_get_queue_length(status);
    s.queueVersion = mpd_status_get_queue_version(status);
    return s;
}

} // namespace players
