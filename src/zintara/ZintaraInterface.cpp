// The controller's outlets and actions, and the interface files that
// provide them.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/Bundle.h"
#include "kit/Nib.h"
#include "kit/Window.h"

namespace {
// The interface files in the bundle's resources, loaded in this order.
constexpr const char* kInterfaceFiles[] = {"Welcome.ui", "Launch.ui", "DropDownMenu.ui"};
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

    nib.action("btnClick:", [this](kit::Control* sender) { btnClick(sender); });
    nib.menuAction("menuSelect:", [this](kit::MenuItem* sender) { menuSelect(sender); });
    nib.menuAction("ratingMenu:", [this](kit::MenuItem* sender) { ratingMenu(sender); });
}

bool Zintara::loadInterface(std::string* error)
{
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
    return true;
}
