#pragma once

#include "players/PlayerDirectory.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace players {

struct PlayerOptions {
    // Which player stands behind the scripts' "iTunes": "builtin" (the
    // default). Backends that need an address take it after a colon, as in
    // "mpd:HOST:PORT" or "mpris:NAME".
    std::string player = "builtin";
    // A library file for the built-in player; empty for the demo playlist.
    std::string libraryPath;
    // The name the scripts and the workspace know the player by.
    std::string name = "iTunes";
    // Fixes the built-in player's shuffle order (tests); random otherwise.
    std::optional<std::uint32_t> shuffleSeed;
};

// Builds the directory of applications for a player choice. On failure the
// result is a message for the user: an unknown player, or a library file
// refused with its place ("FILE:LINE:COLUMN: ...").
class PlayerFactory {
public:
    static std::variant<std::unique_ptr<PlayerDirectory>, std::string> make(const PlayerOptions& options);
};

} // namespace players
