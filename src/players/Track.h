#pragma once

#include <string>

namespace players {

// One track of the built-in player's playlist.
struct Track {
    std::string name;
    std::string artist;
    std::string album;
    int trackNumber = 0;
    int trackCount = 0;
    // Seconds; 0 means an unknown length, and such a track never ends on
    // its own (like a stream).
    double duration = 0.0;
    int rating = 0; // 0 to 100
};

} // namespace players
