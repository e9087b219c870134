#pragma once

#include <cstdint>
#include <string>

namespace players {

// One track as an MPRIS player describes it in its Metadata, in the terms
// the scripts read (MprisMetadata.h reads it).
struct MprisTrack {
    bool present = false;     // false for "no track" (empty Metadata)
    std::string trackId;      // mpris:trackid
    std::string name;         // xesam:title, else the file name of xesam:url
    std::string artist;       // xesam:artist, joined with ", "
    std::string album;        // xesam:album
    std::int64_t trackNumber = 0; // xesam:trackNumber, 0 when absent
    double duration = 0.0;    // mpris:length, in seconds
    std::int64_t rating = 0;  // xesam:userRating (0..1) as 0..100
};

} // namespace players
