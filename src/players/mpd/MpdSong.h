#pragma once

#include <string>
#include <utility>

struct mpd_song;

namespace players {

// What the scripts read of one song of MPD's queue.
struct MpdSong {
    std::string uri;
    std::string title;
    std::string artist;
    std::string album;
    std::string track; // the Track tag as the server sends it: "3" or "3/12"
    double duration = 0;
    int position = -1; // 0-based place in the queue

    static MpdSong from(const mpd_song* song);

    // The Title tag, else the file name without folder and extension.
    std::string name() const;
    // "3/12" is {3, 12}; "3" is {3, 0}; anything unreadable counts as 0.
    static std::pair<int, int> trackNumbers(const std::string& tag);
};

} // namespace players
