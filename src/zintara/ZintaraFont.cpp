// Font selection: the font panel opens on the face the preferences window's
// labels name (as the marquee draws it), and each change made in it rewrites the labels and the demo
// marquee's font. Nothing here touches the store.
#include "zintara/Zintara.h"

#include "kit/Font.h"
#include "kit/FontPanel.h"
#include "kit/TextField.h"
#include "zintara/TunesView.h"

#include <cmath>

void Zintara::chooseFont(kit::Control*)
{
    kit::FontPanel& manager = kit::FontPanel::sharedFontManager();
    // The labels are read-only text fields: there is no edit in progress to
    // end before they are read.
    const std::string name = fontLabel ? fontLabel->stringValue() : std::string();
    const int size = fontSizeLabel ? fontSizeLabel->intValue() : 0;
    // A name that is not installed (the default "Monaco") is drawn in the
    // default font: the panel starts from what the marquee really shows.
    const std::optional<kit::Font> named = kit::Font::fontWithName(name, size);
    manager.setSelectedFont(named ? *named : kit::Font::defaultFont(), false);
    manager.orderFrontFontPanel();
}

void Zintara::changeFont(void*)
{
    kit::FontPanel& manager = kit::FontPanel::sharedFontManager();
    const std::optional<kit::Font> chosen = manager.convertFont(manager.selectedFont());
    if (!chosen)
        return; // the panel has nothing chosen yet
    const std::string name = chosen->fontName();
    const int size = static_cast<int>(std::trunc(chosen->pointSize()));
    if (fontLabel)
        fontLabel->setStringValue(name);
    if (fontSizeLabel)
        fontSizeLabel->setStringValue(std::to_string(size));
    if (demoTunesView)
        demoTunesView->setFont(name, size);
}

void Zintara::modifyFontViaPanel(void*)
{
}
