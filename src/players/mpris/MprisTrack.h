#pragma once

#include <QVariantMap>

#include <cstdint>
#include <string>

namespace players {

// One track as an MPRIS player describes it in its Metadata, in the terms
// the scripts read.
struct MprisTrack {
    bool present = false;     // false for "no track" (empty Metadata)
    std::string trackId;      // mpris:trackid
    std::string name;         // xesam:title, else the file name of xesam:url
    std::string artist;       // xesam:artist, joined with ", "
    std::string album;        // xesam:album
    std::int64_t trackNumber = 0; // xesam:trackNumber, 0 when absent
    double duration = 0.0;    // mpris:length, in seconds
    std::int64_t rating = 0;  // xesam:userRating (0..1) as 0..100

    // Reads a Metadata map; values nested in it may still be marshalled.
    static MprisTrack fromMetadata(const QVariantMap& metadata);
};

// The play position `elapsed` seconds after it read `anchorSeconds`, moving
// at the player's Rate while it plays (1 when the player gave none, or none
// that is a finite number), never before the start nor past a known
// `duration`; a reading that overflows stays at the last good one.
double playPosition(double anchorSeconds, double elapsed, bool playing, const QVariant& rate, double duration);

// A map carried in a variant, whether QtDBus demarshalled it already or
// left it as a D-Bus argument.
QVariantMap variantMap(const QVariant& value);

} // namespace players
