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
    listenToPlayer();
}

Zintara::~Zintara()
{
    if (timer)
        timer->invalidate();
    if (m_pollSoon)
        m_pollSoon->invalidate();
    if (m_player)
        m_player->setChangeListener(nullptr);
    if (tunesMenu)
        tunesMenu->statusBar()->removeStatusItem(tunesMenu);
}
