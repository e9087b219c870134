// The drop-down menu's commands.
#include "zintara/Zintara.h"

void Zintara::menuSelect(kit::MenuItem*)
{
    // The drop-down menu's commands arrive with the status item.
}
