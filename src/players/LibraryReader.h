#pragma once

#include "players/Library.h"

#include <string>
#include <string_view>
#include <variant>

namespace players {

// Why a library file was refused.
struct LibraryError {
    std::string file;
    int line = 0;   // 0 when the fault has no place (the file cannot be read)
    int column = 0;
    std::string message;

    // "FILE:LINE:COLUMN: message", or "FILE: message" without a place.
    std::string text() const;
};

// Reads the built-in player's library file, a JSON object:
//   {"running": bool, "playerState": "playing"|"paused"|"stopped",
//    "currentTrack": 1-based index or 0, "playerPosition": seconds,
//    "shuffle": bool, "songRepeat": "off"|"one"|"all",
//    "tracks": [{"name", "artist", "album", "trackNumber", "trackCount",
//                "duration", "rating"}]}
// Every field is optional and unknown fields are ignored. The result is all
// or nothing: any fault refuses the whole file.
class LibraryReader {
public:
    static std::variant<Library, LibraryError> read(std::string_view text, const std::string& fileName);
    static std::variant<Library, LibraryError> readFile(const std::string& path);
};

} // namespace players
