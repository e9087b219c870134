#pragma once

struct mpd_status;

namespace players {

// What a poll reads of MPD's player status.
struct MpdStatus {
    enum class State { Stopped, Playing, Paused };
    State state = State::Stopped;
    bool random = false;
    bool repeat = false;
    bool single = false;
    int songPosition = -1; // 0-based; -1 without a current song
    double elapsed = 0;    // seconds into the current song
    unsigned queueLength = 0;
    unsigned queueVersion = 0;

    static MpdStatus from(const mpd_status* status);
};

} // namespace players
