// The player poll: the player's state into the menu and the marquee.
#include "zintara/Zintara.h"

void Zintara::timerFire(void*)
{
    // Arrives with the status item; nothing shows the poll's result before.
}
