// The preferences' "Player" pop-up: Automatic, Built-in, MPD and each media
// player on the session bus by its own name; stored as `player`. A stored
// choice of a player that has gone stays selectable by name, marked as not
// running. A saved choice replaces the player at once, unless the command
// line or ZINTARA_PLAYER chose it; then it waits for a start without them.
#include "zintara/Zintara.h"

#include "kit/PopUpButton.h"
#include "kit/UserDefaults.h"
#include "players/PlayerFactory.h"
#include "players/mpris/MprisBus.h"

#include <utility>

namespace {
// The item for a stored choice the list does not show, if it is one.
std::string titleForStoredChoice(const std::string& choice)
{
    if (choice.rfind("mpd:", 0) == 0)
        return "MPD at " + choice.substr(4);
    if (choice.rfind("mpris:", 0) == 0 && choice.size() > 6)
        return choice.substr(6) + " (not running)";
    return {};
}
} // namespace

void Zintara::loadPlayerChoice()
{
    if (!playerChoice)
        return;
    std::vector<std::pair<std::string, int>> items = {{"Automatic", 0}, {"Built-in", 1}, {"MPD", 2}};
    m_playerChoices = {"auto", "builtin", "mpd"};
    for (const players::MprisPeer& peer : players::listMprisPlayers()) {
        const std::string name = peer.choiceName();
        items.emplace_back(peer.identity.empty() ? name : peer.identity, int(items.size()));
        m_playerChoices.push_back("mpris:" + name);
    }

    const std::string stored = kit::UserDefaults::standardUserDefaults().stringForKey("player").value_or("auto");
    int selected = -1;
    for (std::size_t i = 0; i < m_playerChoices.size(); ++i) {
        if (m_playerChoices[i] == stored)
            selected = int(i);
    }
    if (selected < 0) {
        if (const std::string title = titleForStoredChoice(stored); !title.empty()) {
            selected = int(items.size());
            items.emplace_back(title, selected);
            m_playerChoices.push_back(stored);
        }
    }
    playerChoice->setItems(items);
    playerChoice->selectItemWithTag(selected);
}

void Zintara::savePlayerChoice()
{
    if (!playerChoice)
        return;
    // Nothing selected (a stored value this window cannot show) keeps the
    // stored value.
    const int tag = playerChoice->selectedTag();
    if (tag < 0 || std::size_t(tag) >= m_playerChoices.size())
        return;
    const std::string& choice = m_playerChoices[std::size_t(tag)];
    kit::UserDefaults::standardUserDefaults().setObject(choice, "player");
    switchPlayer(choice);
}

void Zintara::allowPlayerSwitch(players::PlayerDirectory& directory, const players::PlayerOptions& options)
{
    m_switchDirectory = &directory;
    m_playerOptions = std::make_unique<players::PlayerOptions>(options);
}

void Zintara::switchPlayer(const std::string& choice)
{
    if (!m_switchDirectory || !m_playerOptions || choice == m_playerOptions->player)
        return;
    players::PlayerOptions options = *m_playerOptions;
    options.player = choice;
    auto made = players::PlayerFactory::makePlayer(options);
    if (const auto* problem = std::get_if<std::string>(&made)) {
        const std::string end = !problem->empty() && problem->back() == '.' ? "" : ".";
        alert("The player could not be changed",
              *problem + end + "\n\nZintara goes on with " + playerDisplayName() + ".", "OK", std::nullopt);
        return;
    }
    // The new player takes over the workspace entry with the name. Compiled
    // scripts hold the application they were compiled against, so they are
    // compiled again against the new one before any of them runs.
    m_switchDirectory->setPlayer(std::move(std::get<std::unique_ptr<players::Player>>(made)));
    m_player = m_switchDirectory->player();
    listenToPlayer();
    m_playerOptions->player = choice;
    if (compiledScripts[0])
        initScripts();
}
