#pragma once

#include "kit/Geometry.h"

namespace kit {

// A mouse event as a view receives it.
struct Event {
    // Where it happened, in the receiving view's own coordinates.
    Point locationInView;
    int clickCount = 1;
};

} // namespace kit
