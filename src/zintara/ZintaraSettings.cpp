// Applying the stored settings to the status item, the marquee and the
// poll timer.
#include "zintara/Zintara.h"

void Zintara::syncAppPrefsWithDefaults()
{
    // The status item and the poll arrive with the status bar; until then
    // applying the settings has nothing to act on.
}
