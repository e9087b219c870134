// The default settings, written once into an empty store.
#include "zintara/Zintara.h"

#include "kit/UserDefaults.h"

void Zintara::setDefaultPrefs()
{
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    defaults.setInteger(120, "menuSize");
    defaults.setFloat(1.0f, "scrollSpeed");
    defaults.setObject(kit::PlistValue("Monaco"), "fontName");
    defaults.setInteger(10, "fontSize");
    defaults.setBool(true, "fontShadow");
    defaults.setFloat(0.0f, "font_R");
    defaults.setFloat(0.0f, "font_G");
    defaults.setFloat(0.0f, "font_B");
    defaults.setInteger(0, "vertAdjust");
    defaults.setInteger(30, "framesPerSecond");
    defaults.setInteger(0, "launchCount");
    defaults.setBool(false, "hideDockIcon");
    defaults.setBool(false, "scrollDisabled");
    defaults.setBool(true, "fadeEdges");
    defaults.setBool(true, "curTitle");
    defaults.setBool(true, "curArtist");
    defaults.setBool(false, "curAlbum");
    defaults.setBool(false, "curTrack");
    defaults.setBool(true, "nextTitle");
    defaults.setBool(true, "nextArtist");
    defaults.setBool(false, "nextAlbum");
    defaults.setBool(false, "nextTrack");
    defaults.setInteger(2, "pieStyle");
    defaults.setBool(true, "showPie");
    defaults.setInteger(2, "syncTime");
    defaults.setBool(true, "clearPaused");
    defaults.setBool(true, "showNotes");
}
