#pragma once

#include "players/mpris/MprisTrack.h"

#include <QVariantMap>

namespace players {

// Reads a Metadata map; values nested in it may still be marshalled.
MprisTrack trackFromMetadata(const QVariantMap& metadata);

// The play position `elapsed` seconds after it read `anchorSeconds`, moving
// at the player's Rate while it plays (1 when the player gave none, or none
// that is a finite number), never before the start nor past a known
// `duration`; a reading that overflows stays at the last good one.
double playPosition(double anchorSeconds, double elapsed, bool playing, const QVariant& rate, double duration);

// A map carried in a variant, whether QtDBus demarshalled it already or
// left it as a D-Bus argument.
QVariantMap variantMap(const QVariant& value);

} // namespace players
