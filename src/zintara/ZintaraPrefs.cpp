// The preferences window: opening it, loading its controls and the demo
// marquee from the store, storing the controls, and the live changes that
// show on the demo marquee only.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/Bundle.h"
#include "kit/Button.h"
#include "kit/Color.h"
#include "kit/ColorWell.h"
#include "kit/FileManager.h"
#include "kit/PopUpButton.h"
#include "kit/Slider.h"
#include "kit/TextField.h"
#include "kit/UserDefaults.h"
#include "kit/Window.h"
#include "zintara/TunesView.h"

#include <cmath>
#include <cstdint>

namespace {
// Live tags: the controls whose changes show on the demo marquee.
enum : int {
    kLiveShadow = 1,
    kLiveColor = 2,
    kLiveNotes = 3,
    kLiveVertAdjust = 4,
    kLiveFadeEdges = 5,
    kLiveFPS = 6,
    kLiveShowPie = 7,
    kLivePieStyle = 8,
    kLiveHideDock = 9,
    kLiveScrolling = 10,
};
constexpr int kTagSpeedReset = 99;
constexpr double kDefaultSpeed = 1.0;

// The pop-up's tags for `launchiTunes`: absent, YES, NO.
enum : int { kLaunchAsk = 0, kLaunchAlways = 1, kLaunchNever = 2 };

constexpr const char* kTrackFieldKeys[8] = {"curTitle",   "curArtist",  "curAlbum",  "curTrack",
                                            "nextTitle",  "nextArtist", "nextAlbum", "nextTrack"};

int stateOf(const kit::Control* control)
{
    const auto* button = dynamic_cast<const kit::Button*>(control);
    return button ? button->state() : 0;
}

bool isOn(const kit::Button* button)
{
    return button && button->state() != 0;
}

void setState(kit::Button* button, bool on)
{
    if (button)
        button->setState(on ? 1 : 0);
}

// A floating value made whole, toward zero.
std::int32_t truncated(double value)
{
    return static_cast<std::int32_t>(std::trunc(value));
}

kit::Color storedColor(const kit::UserDefaults& defaults)
{
    return kit::Color::colorWithDeviceRed(defaults.floatForKey("font_R"), defaults.floatForKey("font_G"),
                                          defaults.floatForKey("font_B"), 1.0);
}
} // namespace

void Zintara::showPrefsWnd()
{
    if (tunesView)
        tunesView->setPaused(true);
    prepPrefsWnd();
    if (!prefsWnd)
        return;
    prefsWnd->center();
    kit::Application::sharedApplication().activateIgnoringOtherApps(true);
    prefsWnd->makeKeyAndOrderFront(nullptr);
}

void Zintara::prepPrefsWnd()
{
    const kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    const std::string fontName = defaults.stringForKey("fontName").value_or("");
    const int fontSize = static_cast<int>(defaults.integerForKey("fontSize"));

    if (sizeSlider)
        sizeSlider->setDoubleValue(static_cast<double>(defaults.integerForKey("menuSize")));
    if (speedSlider)
        speedSlider->setDoubleValue(defaults.floatForKey("scrollSpeed"));
    if (vertAdjustSlider)
        vertAdjustSlider->setDoubleValue(static_cast<double>(defaults.integerForKey("vertAdjust")));
    if (fontLabel)
        fontLabel->setStringValue(fontName);
    setState(showShadow, defaults.boolForKey("fontShadow"));
    if (fontSizeLabel)
        fontSizeLabel->setStringValue(std::to_string(fontSize));
    if (colorWell)
        colorWell->setColor(storedColor(defaults));
    setState(noScroll, !defaults.boolForKey("scrollDisabled"));
    setState(hideDock, defaults.boolForKey("hideDockIcon"));
    prepLoginItem();
    setState(showNotes, defaults.boolForKey("showNotes"));
    if (targetFPS)
        targetFPS->selectItemWithTag(static_cast<int>(defaults.integerForKey("framesPerSecond")));
    setState(fadeEdges, defaults.boolForKey("fadeEdges"));
    kit::Button* const trackFields[8] = {curTitle, curArtist, curAlbum, curTrack,
                                         nextTitle, nextArtist, nextAlbum, nextTrack};
    for (int index = 0; index < 8; ++index)
        setState(trackFields[index], defaults.boolForKey(kTrackFieldKeys[index]));
    setState(showPie, defaults.boolForKey("showPie"));
    if (pieStyle)
        pieStyle->selectItemWithTag(static_cast<int>(defaults.integerForKey("pieStyle")));
    if (syncTime)
        syncTime->selectItemWithTag(static_cast<int>(defaults.integerForKey("syncTime")));
    setState(clearPaused, defaults.boolForKey("clearPaused"));

    if (demoTunesView) {
        TunesView& demo = *demoTunesView;
        demo.setDrawShadow(isOn(showShadow));
        demo.setDrawNotes(isOn(showNotes));
        demo.setFont(fontName, fontSize);
        demo.setFontColor(storedColor(defaults));
        demo.setVertAdjust(static_cast<std::int32_t>(defaults.integerForKey("vertAdjust")));
        demo.setPieStyle(static_cast<std::int8_t>(defaults.integerForKey("pieStyle")));
        demo.setFadeEdges(defaults.boolForKey("fadeEdges"));
        demo.setScrollingDisabled(defaults.boolForKey("scrollDisabled"));
        if (!defaults.boolForKey("showPie"))
            demo.setPieStyle(0);
    }

    if (shouldLaunchiTunes) {
        int launchTag = kLaunchAsk;
        if (defaults.objectForKey("launchiTunes"))
            launchTag = defaults.boolForKey("launchiTunes") ? kLaunchAlways : kLaunchNever;
        shouldLaunchiTunes->selectItemWithTag(launchTag);
    }
    loadPlayerChoice();

    updateDemoTunesView();
    if (demoTunesView)
        demoTunesView->needsTotalRefresh();
}

void Zintara::savePrefs()
{
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    auto storeState = [&](const kit::Button* button, const char* key) {
        if (button)
            defaults.setBool(button->state() != 0, key);
    };

    if (sizeSlider)
        defaults.setInteger(sizeSlider->intValue(), "menuSize");
    if (speedSlider)
        defaults.setFloat(speedSlider->floatValue(), "scrollSpeed");
    if (fontLabel)
        defaults.setObject(fontLabel->stringValue(), "fontName");
    if (fontSizeLabel)
        defaults.setInteger(fontSizeLabel->intValue(), "fontSize");
    storeState(showShadow, "fontShadow");
    if (colorWell) {
        const kit::Color color = colorWell->color();
        defaults.setFloat(static_cast<float>(color.redComponent()), "font_R");
        defaults.setFloat(static_cast<float>(color.greenComponent()), "font_G");
        defaults.setFloat(static_cast<float>(color.blueComponent()), "font_B");
    }
    if (vertAdjustSlider)
        defaults.setInteger(truncated(vertAdjustSlider->doubleValue()), "vertAdjust");
    storeState(hideDock, "hideDockIcon");
    saveLoginItem();
    if (noScroll)
        defaults.setBool(noScroll->state() == 0, "scrollDisabled");
    storeState(showNotes, "showNotes");
    const kit::Button* const trackFields[8] = {curTitle, curArtist, curAlbum, curTrack,
                                               nextTitle, nextArtist, nextAlbum, nextTrack};
    for (int index = 0; index < 8; ++index)
        storeState(trackFields[index], kTrackFieldKeys[index]);
    storeState(fadeEdges, "fadeEdges");

    if (shouldLaunchiTunes) {
        switch (shouldLaunchiTunes->selectedTag()) {
        case kLaunchAlways: defaults.setBool(true, "launchiTunes"); break;
        case kLaunchNever: defaults.setBool(false, "launchiTunes"); break;
        default: defaults.removeObjectForKey("launchiTunes"); break;
        }
    }
    savePlayerChoice();

    // A stored value the pop-up does not offer leaves it with no selection;
    // the stored value then stays as it is rather than becoming -1.
    auto storeTag = [&](const kit::PopUpButton* popUp, const char* key) {
        if (popUp && popUp->selectedTag() >= 0)
            defaults.setInteger(popUp->selectedTag(), key);
    };
    storeTag(pieStyle, "pieStyle");
    storeState(showPie, "showPie");
    storeTag(syncTime, "syncTime");
    storeState(clearPaused, "clearPaused");
    storeTag(targetFPS, "framesPerSecond");

    defaults.synchronize();
}

void Zintara::livePrefClick(kit::Control* sender)
{
    const int tag = sender ? sender->tag() : 0;
    TunesView* demo = demoTunesView;

    switch (tag) {
    case kLiveShadow:
        if (demo)
            demo->setDrawShadow(stateOf(sender) != 0);
        break;
    case kLiveColor:
        if (demo && colorWell) {
            const kit::Color chosen = colorWell->color();
            demo->setFontColor(kit::Color::colorWithDeviceRed(chosen.redComponent(), chosen.greenComponent(),
                                                              chosen.blueComponent(), 1.0));
        }
        break;
    case kLiveNotes:
        if (demo)
            demo->setDrawNotes(stateOf(sender) != 0);
        break;
    case kLiveVertAdjust:
        if (demo && vertAdjustSlider)
            demo->setVertAdjust(truncated(vertAdjustSlider->doubleValue()));
        break;
    case kLiveFadeEdges:
        if (demo)
            demo->setFadeEdges(isOn(fadeEdges));
        break;
    case kLiveFPS:
        if (demo && targetFPS)
            demo->setFPS(targetFPS->selectedTag());
        break;
    case kLiveShowPie:
        if (demo) {
            if (stateOf(sender) != 0)
                demo->setPieStyle(static_cast<std::int8_t>(pieStyle ? pieStyle->selectedTag() : 0));
            else
                demo->setPieStyle(0);
        }
        break;
    case kLivePieStyle:
        if (demo && isOn(showPie))
            demo->setPieStyle(static_cast<std::int8_t>(pieStyle ? pieStyle->selectedTag() : 0));
        break;
    case kLiveHideDock: {
        // The setting ends up in the bundle's Info.plist, which is replaced
        // as a whole, so both the file and its folder must be writable; the
        // store is written only on save.
        const std::string contents = kit::Bundle::mainBundle().bundlePath() + "/Contents";
        const kit::FileManager& files = kit::FileManager::defaultManager();
        if (files.isWritableFileAtPath(contents + "/Info.plist") && files.isWritableFileAtPath(contents)) {
            alert("Hide Dock Icon: Must relaunch",
                  "Changes made to the Hide Dock Icon option will not be visible until the next time Zintara is "
                  "launched.",
                  "Okie Dokie Artichokie", std::nullopt);
        } else {
            kit::Button* box = dynamic_cast<kit::Button*>(sender);
            if (box)
                box->setState(box->state() != 0 ? 0 : 1);
            alert("Oops, Zintara isn't writable",
                  "It appears you are running Zintara on a locked disk (perhaps you launched it directly from the "
                  "disk image?), or you don't have adequate permissions to modify it.\n\n"
                  "In order to adjust the dock icon option, Zintara needs to be able to modify itself.\n\n"
                  "Until you have Zintara in a place where it is writable, the Hide Dock Icon option must remain "
                  "unchanged.",
                  "OK", std::nullopt);
        }
        break;
    }
    case kLiveScrolling:
        if (demo)
            demo->setScrollingDisabled(!isOn(noScroll));
        break;
    default:
        break;
    }

    if (demo)
        demo->needsTotalRefresh();
}

void Zintara::prefClick(kit::Control* sender)
{
    if (!sender)
        return;
    if (sender == sizeSlider) {
        setDemoWidth(static_cast<float>(std::trunc(sizeSlider->doubleValue())));
    } else if (sender == speedSlider) {
        if (demoTunesView)
            demoTunesView->setScrollSpeed(speedSlider->floatValue());
    } else if (sender->tag() == kTagSpeedReset) {
        if (speedSlider) {
            speedSlider->setDoubleValue(kDefaultSpeed);
            // As the slider's own action: the demo marquee follows it.
            prefClick(speedSlider);
        }
    }
}
