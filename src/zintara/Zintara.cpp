#include "zintara/Zintara.h"

#include "players/Player.h"
#include "players/PlayerFactory.h"

#include "kit/Nib.h"
#include "kit/StatusBar.h"
#include "kit/StatusItem.h"
#include "kit/Timer.h"
#include "script/Script.h"
#include "zintara/TunesView.h"

Zintara::Zintara(const script::ApplicationDirectory& apps)
    : m_apps(apps)
    , m_player(dynamic_cast<players::Player*>(apps.find(kPlayerName)))
{
}

Zintara::~Zintara()
{
    if (timer)
        timer->invalidate();
    if (tunesMenu)
        tunesMenu->statusBar()->removeStatusItem(tunesMenu);
}
