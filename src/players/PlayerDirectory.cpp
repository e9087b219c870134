#include "players/PlayerDirectory.h"

#include "script/Terminology.h"

namespace players {

PlayerDirectory::PlayerDirectory() = default;

void PlayerDirectory::setPlayer(std::unique_ptr<Player> player)
{
    m_entry.reset();
    m_player = std::move(player);
    if (m_player && !m_player->registersWithWorkspace())
        m_entry = std::make_unique<PlayerWorkspaceEntry>(*m_player);
}

script::ScriptableApplication* PlayerDirectory::find(const std::string& name) const
{
    if (m_player && script::equalsIgnoringCase(name, m_player->name()))
        return m_player.get();
    if (script::equalsIgnoringCase(name, m_systemEvents.name()))
        return &m_systemEvents;
    return nullptr;
}

} // namespace players
