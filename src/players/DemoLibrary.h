#pragma once

#include "players/Library.h"

namespace players {

// The short playlist the built-in player ships with: not running, stopped,
// repeating all, so that a launch starts a marquee that never runs dry.
Library demoLibrary();

} // namespace players
