#pragma once

#include "players/mpd/MpdConnection.h"

#include <cstdint>
#include <vector>

namespace players {

// What a poll reads of MPD's player status.
struct MpdStatus {
    enum class State { Stopped, Playing, Paused };
    State state = State::Stopped;
    bool random = false;
    bool repeat = false;
    bool single = false;
    // 0-based queue positions, -1 without one; a position past the queue's
    // end counts as none.
    std::int64_t songPosition = -1;
    double elapsed = 0;             // seconds into the current song
    unsigned queueLength = 0;
    unsigned queueVersion = 0;

    // From the lines of a "status" answer.
    static MpdStatus from(const std::vector<MpdPair>& lines);
};

} // namespace players
