#pragma once

#include "players/PollBudget.h"

#include <optional>
#include <string>
#include <vector>

namespace players {

// A media player on the session bus, as the player choice lists it.
struct MprisPeer {
    std::string busName;        // org.mpris.MediaPlayer2.NAME
    std::string identity;       // its Identity, or a name made from busName
    std::string playbackStatus; // "Playing", "Paused", "Stopped"; "" when it did not say

    // NAME of the player choice "mpris:NAME": the bus name without the
    // MPRIS prefix.
    std::string choiceName() const;
};

// The MPRIS players on the session bus now, ordered by bus name; empty
// without a session bus. The bus's signals keep the list, so only players
// not yet known are asked, all at once and each for a bounded time, within
// the poll's budget when there is one: a player that did not answer is
// not waited for again, even under a new owner, until it answers.
std::vector<MprisPeer> listMprisPlayers(const std::optional<PollBudget>& budget = std::nullopt);

} // namespace players
