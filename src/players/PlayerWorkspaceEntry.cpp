#include "players/PlayerWorkspaceEntry.h"

namespace players {

PlayerWorkspaceEntry::PlayerWorkspaceEntry(Player& player)
    : m_player(player)
{
    kit::Workspace::sharedWorkspace().addApplication(this);
}

PlayerWorkspaceEntry::~PlayerWorkspaceEntry()
{
    kit::Workspace::sharedWorkspace().removeApplication(this);
}

} // namespace players
