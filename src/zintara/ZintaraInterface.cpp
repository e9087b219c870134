// The controller's outlets and actions, and the interface files that
// provide them.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/Bundle.h"
#include "kit/Button.h"
#include "kit/ColorWell.h"
#include "kit/Nib.h"
#include "kit/PopUpButton.h"
#include "kit/Slider.h"
#include "kit/TextField.h"
#include "kit/View.h"
#include "kit/Window.h"
#include "zintara/TagView.h"
#include "zintara/Tags.h"
#include "zintara/TunesView.h"

namespace {
// The interface files in the bundle's resources, loaded in this order.
constexpr const char* kInterfaceFiles[] = {"Welcome.ui", "Launch.ui", "Preferences.ui", "DropDownMenu.ui"};

// The view classes the files use: the marquee (the demo marquee) and a
// plain view (the demo marquee's frame).
void registerViewClasses()
{
    kit::Nib::registerViewClass("TunesView", [](kit::Rect frame) { return std::make_unique<TunesView>(frame); });
    kit::Nib::registerViewClass("View", [](kit::Rect frame) { return std::make_unique<kit::View>(frame); });
    kit::Nib::registerViewClass("TagView", [](kit::Rect frame) { return std::make_unique<TagView>(frame); });
}
} // namespace

void Zintara::declareInterface(kit::Nib& nib)
{
    nib.outlet("introWnd", &introWnd);
    nib.outlet("launchWnd", &launchWnd);
    nib.outlet("hideWelcome", &hideWelcome);
    nib.outlet("alwaysLaunchBtn", &alwaysLaunchBtn);
    nib.outlet("dropDownMenu", &dropDownMenu);
    nib.outlet("playPause", &playPause);
    nib.outlet("quitTunes", &quitTunes);
    nib.outlet("quitBoth", &quitBoth);
    nib.outlet("shuffleMenu", &shuffleMenu);
    nib.outlet("repeatMenu", &repeatMenu);
    nib.outlet("ratingMenu", &ratingSubmenu);

    nib.outlet("prefsWnd", &prefsWnd);
    nib.viewOutlet("demoTunesView", &demoTunesView);
    nib.outlet("showShadow", &showShadow);
    nib.controlOutlet("sizeSlider", &sizeSlider);
    nib.controlOutlet("speedSlider", &speedSlider);
    nib.controlOutlet("vertAdjustSlider", &vertAdjustSlider);
    nib.controlOutlet("fontLabel", &fontLabel);
    nib.controlOutlet("fontSizeLabel", &fontSizeLabel);
    nib.controlOutlet("colorWell", &colorWell);
    nib.outlet("noScroll", &noScroll);
    nib.outlet("hideDock", &hideDock);
    nib.outlet("startAtLogin", &startAtLogin);
    nib.outlet("curTitle", &curTitle);
    nib.outlet("curArtist", &curArtist);
    nib.outlet("curAlbum", &curAlbum);
    nib.outlet("curTrack", &curTrack);
    nib.outlet("nextTitle", &nextTitle);
    nib.outlet("nextArtist", &nextArtist);
    nib.outlet("nextAlbum", &nextAlbum);
    nib.outlet("nextTrack", &nextTrack);
    nib.outlet("showPie", &showPie);
    nib.outlet("clearPaused", &clearPaused);
    nib.outlet("showNotes", &showNotes);
    nib.outlet("fadeEdges", &fadeEdges);
    nib.controlOutlet("pieStyle", &pieStyle);
    nib.controlOutlet("syncTime", &syncTime);
    nib.controlOutlet("targetFPS", &targetFPS);
    nib.controlOutlet("shouldLaunchiTunes", &shouldLaunchiTunes);
    nib.controlOutlet("playerChoice", &playerChoice);

    nib.action("btnClick:", [this](kit::Control* sender) { btnClick(sender); });
    nib.action("livePrefClick:", [this](kit::Control* sender) { livePrefClick(sender); });
    nib.action("prefClick:", [this](kit::Control* sender) { prefClick(sender); });
    nib.action("chooseFont:", [this](kit::Control* sender) { chooseFont(sender); });
    nib.action("modifyFontViaPanel:", [this](kit::Control* sender) { modifyFontViaPanel(sender); });
    nib.menuAction("menuSelect:", [this](kit::MenuItem* sender) { menuSelect(sender); });
    nib.menuAction("ratingMenu:", [this](kit::MenuItem* sender) { ratingMenu(sender); });
}

bool Zintara::loadInterface(std::string* error)
{
    registerViewClasses();
    auto nib = std::make_unique<kit::Nib>();
    declareInterface(*nib);
    const kit::Bundle& bundle = kit::Bundle::mainBundle();
    for (const char* file : kInterfaceFiles) {
        const std::optional<std::string> path = bundle.pathForResource(file);
        if (!path) {
            if (error)
                *error = std::string("the interface file ") + file + " is missing from " + bundle.resourcePath();
            return false;
        }
        if (!nib->load(*path, error))
            return false;
    }
    if (!nib->verifyOutlets(error))
        return false;
    m_nib = std::move(nib);

    // The two launch windows run modally and end through their buttons; a
    // title-bar close must end the modal run too, or the program would wait
    // on a window nobody sees. Closing the welcome window just ends it;
    // closing the launch window declines, without remembering the choice.
    if (introWnd) {
        introWnd->setCloseHandler([this] {
            kit::Application::sharedApplication().stopModal();
            introWnd->orderOut(nullptr);
        });
    }
    if (launchWnd) {
        launchWnd->setCloseHandler([this] {
            kit::Application::sharedApplication().stopModal();
            launchWnd->orderOut(nullptr);
        });
    }
    // Closing the preferences window is cancelling it; anything else would
    // leave the status-bar marquee paused.
    if (prefsWnd) {
        prefsWnd->setCloseHandler([this] {
            kit::Control cancel(nullptr);
            cancel.setTag(zintara::kTagPrefsCancel);
            btnClick(&cancel);
        });
    }
    return true;
}
