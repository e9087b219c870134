// The demo marquee of the preferences window: its width and place, and its
// speed, from the store.
#include "zintara/Zintara.h"

#include "kit/UserDefaults.h"
#include "zintara/TunesView.h"

#include <cmath>

namespace {
// The demo marquee's distance from its superview's bottom edge, in points.
constexpr double kDemoBottom = 8.0;
} // namespace

void Zintara::setDemoWidth(float width)
{
    if (!demoTunesView)
        return;
    kit::View* superview = demoTunesView->superview();
    // Without a superview the demo is centred on a zero-wide one.
    const float superWidth = superview ? static_cast<float>(superview->frame().width()) : 0.0f;

    const float difference = superWidth - width;
    const double x = std::trunc(static_cast<double>(difference) * 0.5);
    const double newWidth = std::trunc(static_cast<double>(width));
    const double height = std::trunc(demoTunesView->frame().height());

    demoTunesView->setFrame(kit::Rect(x, kDemoBottom, newWidth, height));
    if (superview)
        superview->setNeedsDisplay(true);
}

void Zintara::updateDemoTunesView()
{
    const kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    setDemoWidth(static_cast<float>(defaults.integerForKey("menuSize")));
    if (demoTunesView)
        demoTunesView->setScrollSpeed(defaults.floatForKey("scrollSpeed"));
}
