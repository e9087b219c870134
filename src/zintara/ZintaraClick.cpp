#include "zintara/Zintara.h"

void Zintara::tunesMenuClick(void*)
{
}
