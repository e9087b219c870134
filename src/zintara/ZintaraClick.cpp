// A click on the status-bar marquee: the drop-down menu, or a shake of the
// preferences window while it is open.
#include "zintara/Zintara.h"

#include "kit/Clock.h"
#include "kit/Menu.h"
#include "kit/StatusItem.h"
#include "kit/Window.h"
#include "zintara/TunesView.h"

namespace {
constexpr float kShakeDistance = 5.0f;
constexpr int kShakeMoves = 5;
constexpr double kShakePause = 0.040; // seconds after each move
} // namespace

void Zintara::tunesMenuClick(void*)
{
    if (prefsWnd && prefsWnd->isVisible()) {
        shakeWindow(*prefsWnd);
        return;
    }
    if (!tunesView || !tunesMenu || !dropDownMenu)
        return;
    tunesView->setHighlighted(true);
    tunesView->display();
    tunesMenu->popUpStatusItemMenu(*dropDownMenu);
    tunesView->setHighlighted(false);
    tunesView->setNeedsDisplay(true);
}

void Zintara::shakeWindow(kit::Window& window)
{
    const kit::Rect frame = window.frame();
    float offset = -kShakeDistance;
    for (int move = 0; move < kShakeMoves; ++move) {
        const float x = static_cast<float>(frame.x()) + offset;
        window.setFrame(kit::Rect(x, frame.y(), frame.width(), frame.height()), false);
        offset = -offset;
        kit::Clock::current().sleepFor(kShakePause);
    }
    window.setFrame(frame, false);
}
