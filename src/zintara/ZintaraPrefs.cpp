// The preferences window.
#include "zintara/Zintara.h"

#include "kit/Window.h"

void Zintara::showPrefsWnd()
{
    if (prefsWnd)
        prefsWnd->makeKeyAndOrderFront(nullptr);
}

void Zintara::savePrefs()
{
    // The preferences window's controls arrive with the window itself.
}
