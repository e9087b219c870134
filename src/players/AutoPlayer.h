#pragma once

#include "kit/Workspace.h"
#include "players/Player.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace players {

// The player the user is using, chosen again at the start of every poll:
// a media player on the session bus that is playing; else the MPD server
// when it answers; else the first media player on the bus; else the
// built-in player. The scripts see one application throughout; between
// polls it may stand for another player. An MPD server that turns Zintara
// away (a refused password) is passed over, with one line on standard
// error each time its refusal changes.
class AutoPlayer : public Player {
public:
    // A media player on the session bus, as the choice needs it.
    struct BusPlayer {
        std::string busName;
        bool playing = false;
    };
    struct Sources {
        // The session bus's media players now, in a stable order, waiting
        // on them no longer than the poll's budget allows.
        std::function<std::vector<BusPlayer>(const PollBudget&)> listBusPlayers;
        // A player for one of them, addressed by the scripts' name.
        std::function<std::unique_ptr<Player>(const std::string& busName)> makeBusPlayer;
    };

    // `mpd` and `builtin` are addressed by the same script name as this
    // player. The built-in player's own workspace entry is withdrawn: this
    // player answers for the name.
    AutoPlayer(std::string scriptName, std::unique_ptr<Player> mpd, std::unique_ptr<Player> builtin,
               Sources sources, kit::WorkspaceApplication* builtinEntry = nullptr);

    std::string name() const override { return m_name; }
    std::string displayName() const override { return m_current->displayName(); }
    const script::Dictionary& dictionary() const override { return m_builtin->dictionary(); }
    bool isRunning() override { return m_current->isRunning(); }
    void launch() override { m_current->launch(); }
    std::string launchProblem() const override { return m_current->launchProblem(); }
    std::string refusal() const override { return m_current->refusal(); }
    bool launchApplication() override { return m_current->launchApplication(); }
    using Player::beginPoll;
    void beginPoll(const PollBudget& budget) override;

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override { return m_current->get(object); }
    script::Result<script::Value> set(const script::ObjectSpecifier& object, const script::Value& value) override
    {
        return m_current->set(object, value);
    }
    script::Result<bool> exists(const script::ObjectSpecifier& object) override { return m_current->exists(object); }
    script::Result<script::Value> command(const std::string& term,
        const std::optional<script::ObjectSpecifier>& directObject) override
    {
        return m_current->command(term, directObject);
    }

    // The player chosen at the last poll (tests, diagnostics).
    const Player& current() const { return *m_current; }

private:
    Player* busPlayer(const std::string& busName);
    void follow(Player* player);

    std::string m_name;
    std::unique_ptr<Player> m_mpd;
    std::unique_ptr<Player> m_builtin;
    Sources m_sources;
    std::map<std::string, std::unique_ptr<Player>> m_busPlayers;
    Player* m_current;
    std::string m_reportedRefusal;
};

} // namespace players
