#include "players/AutoPlayer.h"

#include "kit/Workspace.h"

#include <algorithm>
#include <iostream>

namespace players {

AutoPlayer::AutoPlayer(std::string scriptName, std::unique_ptr<Player> mpd, std::unique_ptr<Player> builtin,
                       Sources sources, kit::WorkspaceApplication* builtinEntry)
    : m_name(std::move(scriptName))
    , m_mpd(std::move(mpd))
    , m_builtin(std::move(builtin))
    , m_sources(std::move(sources))
    , m_current(m_builtin.get())
{
    for (Player* player : {m_mpd.get(), m_builtin.get()})
        follow(player);
    if (builtinEntry)
        kit::Workspace::sharedWorkspace().removeApplication(builtinEntry);
}

Player* AutoPlayer::busPlayer(const std::string& busName)
{
    auto it = m_busPlayers.find(busName);
    if (it == m_busPlayers.end()) {
        std::unique_ptr<Player> made = m_sources.makeBusPlayer ? m_sources.makeBusPlayer(busName) : nullptr;
        if (!made)
            return nullptr;
        follow(made.get());
        it = m_busPlayers.emplace(busName, std::move(made)).first;
    }
    return it->second.get();
}

void AutoPlayer::follow(Player* player)
{
    // Only the current player's changes are the line's.
    if (player)
        player->setChangeListener([this, player] {
            if (player == m_current)
                changed();
        });
}

void AutoPlayer::beginPoll(const PollBudget& budget)
{
    const std::vector<BusPlayer> onBus = m_sources.listBusPlayers ? m_sources.listBusPlayers(budget) : std::vector<BusPlayer>{};

    // Players that left the bus are dropped, unless one is still the
    // current player until this choice is made.
    for (auto it = m_busPlayers.begin(); it != m_busPlayers.end();) {
        const bool present = std::any_of(onBus.begin(), onBus.end(), [&](const BusPlayer& p) { return p.busName == it->first; });
        if (!present && it->second.get() != m_current)
            it = m_busPlayers.erase(it);
        else
            ++it;
    }

    Player* chosen = nullptr;
    for (const BusPlayer& p : onBus) {
        if (p.playing && (chosen = busPlayer(p.busName)))
            break;
    }
    if (!chosen && m_mpd) {
        m_mpd->beginPoll(budget);
        if (m_mpd->isRunning())
            chosen = m_mpd.get();
        const std::string refusal = chosen ? std::string() : m_mpd->refusal();
        if (!refusal.empty() && refusal != m_reportedRefusal)
            std::cerr << "zintara: passing over the MPD server: " << refusal << '\n';
        m_reportedRefusal = refusal;
    }
    for (std::size_t i = 0; !chosen && i < onBus.size(); ++i)
        chosen = busPlayer(onBus[i].busName);
    if (!chosen)
        chosen = m_builtin.get();

    const Player* previous = m_current;
    m_current = chosen;
    if (chosen != m_mpd.get())
        chosen->beginPoll(budget);
    if (previous != m_current && previous != m_builtin.get() && previous != m_mpd.get()) {
        // A bus player that was current and has left the bus goes now.
        for (auto it = m_busPlayers.begin(); it != m_busPlayers.end(); ++it) {
            if (it->second.get() == previous
                && std::none_of(onBus.begin(), onBus.end(), [&](const BusPlayer& p) { return p.busName == it->first; })) {
                m_busPlayers.erase(it);
                break;
            }
        }
    }
}

} // namespace players
