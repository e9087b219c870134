#pragma once

#include "script/ScriptableApplication.h"

#include <string>

namespace players {

// The application behind the scripts' "iTunes": the built-in player or a
// real one. Beyond what the engine asks of any application, the program
// needs the name its user knows the player by, and a mark where each poll
// begins.
class Player : public script::ScriptableApplication {
public:
    // The player's own name for the texts a user reads ("Quit MPD",
    // "(MPD is not running)"); the built-in player keeps the scripts' name.
    virtual std::string displayName() const { return name(); }

    // A poll is about to run its scripts. A backend that gave up on a peer
    // that did not answer during the last poll tries it again from here on;
    // a player that follows the user's choice of player may switch now.
    virtual void beginPoll() {}
};

} // namespace players
