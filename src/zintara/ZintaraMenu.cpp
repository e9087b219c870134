// The drop-down menu's commands, told apart by their tags.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/Clock.h"
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/UserDefaults.h"

namespace {
enum Tag : int {
    kPreferences = 1,
    kPlayPause = 20,
    kNext = 21,
    kPrevious = 22,
    kShuffleOff = 25,
    kShuffleOn = 26,
    kRepeatOff = 27,
    kRepeatOne = 28,
    kRepeatAll = 29,
    kQuit = 30,
    kQuitBoth = 31,
    kQuitOrLaunchPlayer = 32,
    kResetPreferences = 99,
};

enum Slot : int {
    kSlotPlayPause = 0,
    kSlotNext = 11,
    kSlotPrevious = 12,
    kSlotQuitPlayer = 13,
    kSlotShuffleOn = 14,
    kSlotShuffleOff = 15,
    kSlotRepeatOff = 16,
    kSlotRepeatOne = 17,
    kSlotRepeatAll = 18,
};

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
    switch (tag) {
    case kPreferences:
        showPrefsWnd();
        break;
    case kPlayPause:
    case kNext:
    case kPrevious:
        runScript(tag == kPlayPause ? kSlotPlayPause : tag == kNext ? kSlotNext : kSlotPrevious);
        timerFire(nullptr); // the menu and the line follow the command at once
        break;
    case kShuffleOff:
    case kShuffleOn:
        runScript(tag == kShuffleOff ? kSlotShuffleOff : kSlotShuffleOn);
        checkOnly(shuffleMenu, tag, {kShuffleOff, kShuffleOn});
        break;
    case kRepeatOff:
    case kRepeatOne:
    case kRepeatAll:
        runScript(tag == kRepeatOff ? kSlotRepeatOff : tag == kRepeatOne ? kSlotRepeatOne : kSlotRepeatAll);
        checkOnly(repeatMenu, tag, {kRepeatOff, kRepeatOne, kRepeatAll});
        break;
    case kQuit:
        app.terminate(nullptr);
        break;
    case kQuitBoth:
        runScript(kSlotQuitPlayer);
        app.terminate(nullptr);
        break;
    case kQuitOrLaunchPlayer:
        if (sender->title() == "Quit iTunes") {
            runScript(kSlotQuitPlayer);
            kit::Clock::current().sleepFor(kQuitWait);
        } else {
            launchITunes();
        }
        break;
    case kResetPreferences:
        // Deletes the settings file and forgets the settings, so the flush
        // at quit cannot write them back; the next launch is a first one.
        kit::UserDefaults::standardUserDefaults().removePersistentDomain();
        app.terminate(nullptr);
        break;
    default:
        break;
    }
}
