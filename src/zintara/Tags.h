#pragma once

namespace zintara {

// Tags of the drop-down menu's items and of its shuffle and repeat
// submenus (the rating submenu's items are tagged 0 to 5).
enum MenuTag : int {
    kTagPreferences = 1,
    kTagPlayPause = 20,
    kTagNext = 21,
    kTagPrevious = 22,
    kTagShuffleOff = 25,
    kTagShuffleOn = 26,
    kTagRepeatOff = 27,
    kTagRepeatOne = 28,
    kTagRepeatAll = 29,
    kTagQuit = 30,
    kTagQuitBoth = 31,
    kTagQuitOrLaunchPlayer = 32,
    kTagResetPreferences = 99,
};

// Tags of the buttons of the welcome, launch and preferences windows.
enum ButtonTag : int {
    kTagWelcomePrefs = 0,
    kTagPrefsSave = 1,
    kTagPrefsCancel = 2,
    kTagLaunch = 3,
    kTagDontLaunch = 4,
};

} // namespace zintara
