// The drop-down menu's commands, told apart by their tags.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/Clock.h"
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/UserDefaults.h"
#include "players/Player.h"
#include "zintara/Tags.h"
#include "zintara/ScriptTable.h"

using namespace zintara;

namespace {
// Seconds the program waits after asking the player to quit.
constexpr double kQuitWait = 1.0;

// Puts the check mark on `chosen` and removes it from the others.
void checkOnly(kit::Menu* menu, int chosen, std::initializer_list<int> tags)
{
    if (!menu)
        return;
    for (int tag : tags) {
        if (kit::MenuItem* item = menu->itemWithTag(tag))
            item->setState(tag == chosen ? 1 : 0);
    }
}
} // namespace

void Zintara::menuSelect(kit::MenuItem* sender)
{
    if (!sender)
        return;
    kit::Application& app = kit::Application::sharedApplication();
    const int tag = sender->tag();
    // A command waits on the player within a budget of its own, not what is
    // left of the last poll's.
    if (m_player && tag != kTagPreferences && tag != kTagQuit && tag != kTagResetPreferences)
        m_player->beginPoll();
    switch (tag) {
    case kTagPreferences:
        showPrefsWnd();
        break;
    case kTagPlayPause:
    case kTagNext:
    case kTagPrevious:
        runScript(tag == kTagPlayPause ? kSlotPlayPause : tag == kTagNext ? kSlotNextTrack : kSlotPreviousTrack);
        timerFire(nullptr); // the menu and the line follow the command at once
        break;
    case kTagShuffleOff:
    case kTagShuffleOn:
        runScript(tag == kTagShuffleOff ? kSlotShuffleOff : kSlotShuffleOn);
        checkOnly(shuffleMenu, tag, {kTagShuffleOff, kTagShuffleOn});
        break;
    case kTagRepeatOff:
    case kTagRepeatOne:
    case kTagRepeatAll:
        runScript(tag == kTagRepeatOff ? kSlotRepeatOff : tag == kTagRepeatOne ? kSlotRepeatOne : kSlotRepeatAll);
        checkOnly(repeatMenu, tag, {kTagRepeatOff, kTagRepeatOne, kTagRepeatAll});
        break;
    case kTagQuit:
        app.terminate(nullptr);
        break;
    case kTagQuitBoth:
        runScript(kSlotQuitPlayer);
        app.terminate(nullptr);
        break;
    case kTagQuitOrLaunchPlayer:
        // The last poll's finding, not the item's title: the title names
        // whichever player was in front then.
        if (m_playerShownRunning) {
            runScript(kSlotQuitPlayer);
            kit::Clock::current().sleepFor(kQuitWait);
        } else {
            launchITunes();
        }
        break;
    case kTagResetPreferences:
        // Deletes the settings file and forgets the settings, so the flush
        // at quit cannot write them back; the next launch is a first one.
        kit::UserDefaults::standardUserDefaults().removePersistentDomain();
        app.terminate(nullptr);
        break;
    default:
        break;
    }
}
