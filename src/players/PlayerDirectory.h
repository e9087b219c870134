#pragma once

#include "players/SystemEvents.h"
#include "players/Player.h"

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

    // Installs the player; it replaces any player set before.
    void setPlayer(std::unique_ptr<Player> player);
    Player* player() const { return m_player.get(); }
    SystemEvents& systemEvents() { return m_systemEvents; }

    script::ScriptableApplication* find(const std::string& name) const override;

private:
    mutable SystemEvents m_systemEvents;
    std::unique_ptr<Player> m_player;
};

} // namespace players
