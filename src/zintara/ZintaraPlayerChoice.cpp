// The preferences' "Player" pop-up: Automatic, Built-in, MPD and each media
// player on the session bus by its own name; stored as `player`. A stored
// choice of a player that has gone stays selectable by name, marked as not
// running. The choice takes effect at the next start.
#include "zintara/Zintara.h"

#include "kit/PopUpButton.h"
#include "kit/UserDefaults.h"
#include "players/mpris/MprisBus.h"

#include <utility>

namespace {
constexpr const char* kMprisPrefix = "org.mpris.MediaPlayer2.";

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
        std::string name = peer.busName;
        if (name.rfind(kMprisPrefix, 0) == 0)
            name = name.substr(std::string(kMprisPrefix).size());
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
    if (tag >= 0 && std::size_t(tag) < m_playerChoices.size())
        kit::UserDefaults::standardUserDefaults().setObject(m_playerChoices[std::size_t(tag)], "player");
}
