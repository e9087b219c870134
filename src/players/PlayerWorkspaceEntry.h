#pragma once

#include "kit/Workspace.h"
#include "players/Player.h"

namespace players {

// Shows a player in the workspace under its script name, so System Events'
// processes and the program's own checks see it run, and the workspace's
// launch reaches it. Registers while it lives; not owning.
class PlayerWorkspaceEntry : public kit::WorkspaceApplication {
public:
    explicit PlayerWorkspaceEntry(Player& player);
    ~PlayerWorkspaceEntry() override;
    PlayerWorkspaceEntry(const PlayerWorkspaceEntry&) = delete;
    PlayerWorkspaceEntry& operator=(const PlayerWorkspaceEntry&) = delete;

    std::string applicationName() const override { return m_player.name(); }
    bool isRunning() const override { return m_player.isRunning(); }
    bool launch() override { return m_player.launchApplication(); }

private:
    Player& m_player;
};

} // namespace players
