#pragma once

#include "players/SystemEvents.h"
#include "players/Player.h"
#include "players/PlayerWorkspaceEntry.h"

#include <memory>
#include <string>
#include <vector>

namespace players {

// The applications the scripts may address: System Events and the chosen
// player. Owns them; looks names up without regard to ASCII case, so the
// rating scripts' "itunes" finds "iTunes".
class PlayerDirectory : public script::ApplicationDirectory {
public:
    PlayerDirectory();

    // Installs the player; it replaces any player set before. A player that
    // does not register itself in the workspace is registered for it.
    void setPlayer(std::unique_ptr<Player> player);
    Player* player() const { return m_player.get(); }
    SystemEvents& systemEvents() { return m_systemEvents; }

    script::ScriptableApplication* find(const std::string& name) const override;

private:
    mutable SystemEvents m_systemEvents;
    std::unique_ptr<Player> m_player;
    // Declared after the player, so it leaves the workspace first.
    std::unique_ptr<PlayerWorkspaceEntry> m_entry;
};

} // namespace players
