// A click on the status-bar marquee.
#include "zintara/Zintara.h"

void Zintara::tunesMenuClick(void*)
{
    // Opens the drop-down menu once the status item exists.
}
