// Applying the stored settings: a new status item and marquee, the
// marquee's settings, the Dock icon, the poll timer and one poll at once.
#include "zintara/Zintara.h"

#include "kit/Application.h"
#include "kit/StatusBar.h"
#include "kit/StatusItem.h"
#include "kit/Timer.h"
#include "kit/UserDefaults.h"
#include "zintara/TunesView.h"

namespace {
constexpr const char* kTrackKeys[9] = {"curTitle",  "curArtist",  "curAlbum",  "curTrack",   "nextTitle",
                                       "nextArtist", "nextAlbum", "nextTrack", "clearPaused"};
constexpr float kMarqueeHeight = 26.0f;
// Left mouse down and left mouse dragged.
constexpr unsigned kStatusItemActionMask = 0x42;
constexpr double kHalfSecond = 0.5;
constexpr const char* kContactAddress = "support@zintara.org";
} // namespace

void Zintara::syncAppPrefsWithDefaults()
{
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();

    for (int index = 0; index < 9; ++index)
        trackPrefs[index] = defaults.boolForKey(kTrackKeys[index]);

    const float width = static_cast<float>(defaults.integerForKey("menuSize"));

    if (tunesMenu) {
        tunesMenu->statusBar()->removeStatusItem(tunesMenu);
        tunesMenu = nullptr;
    }
    tunesMenu = kit::StatusBar::systemStatusBar().statusItemWithLength(width);
    if (!tunesMenu) {
        alert("Error: couldn't create status item",
              std::string("Oops! Zintara ran into an error trying to create the status item. Try choosing a smaller "
                          "width (size) in the preferences dialog, or trashing Zintara' prefs file.\n\n"
                          "If this error persists, contact Quorble Software (")
                  + kContactAddress + ").",
              "OK", std::nullopt);
        kit::Application::sharedApplication().terminate(nullptr);
        return;
    }

    // Discarding the old marquee stops its frame timer with it.
    tunesView.reset();
    tunesView = std::make_unique<TunesView>(kit::Rect(0, 0, tunesMenu->length(), kMarqueeHeight));
    tunesView->setZintara(this);

    tunesMenu->setView(tunesView.get());
    tunesMenu->sendActionOn(kStatusItemActionMask);
    tunesMenu->setHighlightMode(true);
    tunesMenu->setTitle("");

    TunesView& view = *tunesView;
    view.setScrollSpeed(defaults.floatForKey("scrollSpeed"));
    view.setPieStyle(defaults.boolForKey("showPie") ? static_cast<std::int8_t>(defaults.integerForKey("pieStyle")) : 0);
    view.setDrawShadow(defaults.boolForKey("fontShadow"));
    view.setFontColor(kit::Color::colorWithDeviceRed(defaults.floatForKey("font_R"), defaults.floatForKey("font_G"),
                                                     defaults.floatForKey("font_B"), 1.0));
    view.setDrawNotes(defaults.boolForKey("showNotes"));
    view.setFont(defaults.stringForKey("fontName").value_or(""), static_cast<int>(defaults.integerForKey("fontSize")));
    view.setVertAdjust(static_cast<std::int32_t>(defaults.integerForKey("vertAdjust")));
    view.setFadeEdges(defaults.boolForKey("fadeEdges"));
    view.setFPS(static_cast<int>(defaults.integerForKey("framesPerSecond")));
    view.setScrollingDisabled(defaults.boolForKey("scrollDisabled"));

    syncDockIcon();

    if (timer)
        timer->invalidate();
    float interval = static_cast<float>(defaults.integerForKey("syncTime"));
    // 0 stands for half a second; so does a negative value from an edited
    // file, which would otherwise poll without pause.
    if (interval <= 0.0f)
        interval = kHalfSecond;
    timer = kit::Timer::scheduledTimerWithTimeInterval(
        interval, [this](kit::Timer&) { timerFire(nullptr); }, true);

    timerFire(nullptr);
}
