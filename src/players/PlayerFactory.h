#pragma once

#include "players/PlayerDirectory.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace players {

struct PlayerOptions {
    // Which player stands behind the scripts' "iTunes": "auto" (the one the
    // user is using, chosen at every poll), "builtin", "mpd[:HOST[:PORT]]"
    // (MPD_HOST and MPD_PORT when no address is given, as mpc reads them)
    // or "mpris[:NAME]" (org.mpris.MediaPlayer2.NAME). Code that builds a
    // directory itself gets the built-in player unless it says otherwise.
    std::string player = "builtin";
    // A library file for the built-in player; empty for the demo playlist.
    std::string libraryPath;
    // The name the scripts and the workspace know the player by.
    std::string name = "iTunes";
    // Fixes the built-in player's shuffle order (tests); random otherwise.
    std::optional<std::uint32_t> shuffleSeed;
};

// The player choice in force: the command line's, else ZINTARA_PLAYER,
// else the stored setting, else "auto". Empty strings count as not given;
// a stored setting that is not a valid choice counts as not given too.
std::string effectivePlayerChoice(const std::string& commandLine, const std::string& stored);

// Checks a choice without building anything: nullopt when it is well
// formed, else the message make() would give.
std::optional<std::string> checkPlayerChoice(const std::string& choice);

// True when the command line or ZINTARA_PLAYER decide the player, so the
// stored setting does not.
bool playerChoiceOverridden(const std::string& commandLine);

// Builds the directory of applications for a player choice. On failure the
// result is a message for the user: an unknown player, a malformed address,
// an MPRIS name with no player behind it, or a library file refused with
// its place ("FILE:LINE:COLUMN: ...").
class PlayerFactory {
public:
    static std::variant<std::unique_ptr<PlayerDirectory>, std::string> make(const PlayerOptions& options);
    // Just the player, for a directory that exists already (a choice made
    // while the program runs); the same failures as make().
    static std::variant<std::unique_ptr<Player>, std::string> makePlayer(const PlayerOptions& options);
};

} // namespace players
