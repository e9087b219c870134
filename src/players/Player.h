#pragma once

#include "players/PollBudget.h"
#include "script/ScriptableApplication.h"

#include <functional>
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

    // A poll (or a command from the menu) is about to run its scripts, and
    // may wait on the player until `budget` is spent. A backend that gave up
    // on a peer during the last poll tries it again from here on; a player
    // that follows the user's choice of player may switch now.
    virtual void beginPoll(const PollBudget& budget) { (void)budget; }
    void beginPoll() { beginPoll(PollBudget::startingNow()); }

    // The user asked to start the player (the workspace's launch, the
    // launch window). The engine's launch() before an event may be more
    // careful than that; true when the player runs afterwards or is on its
    // way.
    virtual bool launchApplication()
    {
        launch();
        return isRunning();
    }

    // Why a player that is there turns Zintara away (a refused password),
    // in words for the user; empty when it lets Zintara in or is not there.
    // Launching such a player would start a second one.
    virtual std::string refusal() const { return {}; }

    // True for a player that registers itself in the workspace under its
    // script name (the built-in one); the directory registers the others.
    virtual bool registersWithWorkspace() const { return false; }

    // Called when the player made known by itself that what it plays
    // changed (another track with its tags, another state) after a poll
    // began, so the host can poll again soon rather than at its next turn.
    // It runs from the host's event loop or in the middle of a poll, so it
    // should only schedule the poll; a player that keeps changing calls it
    // as often, so the host should gather the calls. One listener; a new
    // one replaces it.
    void setChangeListener(std::function<void()> listener) { m_changeListener = std::move(listener); }

protected:
    void changed() const
    {
        if (m_changeListener)
            m_changeListener();
    }

private:
    std::function<void()> m_changeListener;
};

} // namespace players
