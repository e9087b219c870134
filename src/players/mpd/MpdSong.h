#pragma once

#include "players/mpd/MpdConnection.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <optional>
#include <utility>
#include <vector>

namespace players {

// What the scripts read of one song of MPD's queue.
struct MpdSong {
    std::string uri;
    std::string title;
    std::string artist;
    std::string album;
    std::string track; // the Track tag as the server sends it: "3" or "3/12"
    double duration = 0;
    std::int64_t position = -1; // 0-based place in the queue

    // The songs of an answer's lines (each begins with its "file" line), at
    // most `most` of them.
    static std::vector<MpdSong> list(const std::vector<MpdPair>& lines, std::size_t most);
    static std::optional<MpdSong> first(const std::vector<MpdPair>& lines);

    // The Title tag, else the file name without folder and extension.
    std::string name() const;
    // "3/12" is {3, 12}; "3" is {3, 0}; anything unreadable counts as 0.
    static std::pair<int, int> trackNumbers(const std::string& tag);
};

} // namespace players
