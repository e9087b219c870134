#include "players/mpris/MprisBus.h"

#include "players/mpris/MprisDirectory.h"
#include "players/mpris/MprisSession.h"

namespace players {

std::string MprisPeer::choiceName() const
{
    return withoutMprisPrefix(busName);
}

std::vector<MprisPeer> listMprisPlayers(const std::optional<PollBudget>& budget)
{
    return MprisDirectory::shared().players(budget);
}

} // namespace players
