#pragma once

#include "kit/Geometry.h"

namespace kit {

// How a drawn source combines with what is already there. The values are
// the platform's operation numbers (2 is source-over).
enum class CompositingOperation {
    Clear = 0,
    Copy = 1,
    SourceOver = 2,
    SourceIn = 3,
    SourceOut = 4,
    SourceAtop = 5,
    DestinationOver = 6,
    DestinationIn = 7,
    DestinationOut = 8,
    DestinationAtop = 9,
    XOR = 10,
    PlusDarker = 11,
    Highlight = 12,
    PlusLighter = 13,
};

// Fills the rectangle with the current colour, replacing what is there.
void NSRectFill(Rect rect);
void NSRectFillUsingOperation(Rect rect, CompositingOperation operation);

// Outlines the rectangle with the current colour, the line lying just inside
// its edges.
void NSFrameRect(Rect rect);
void NSFrameRectWithWidth(Rect rect, double width);

} // namespace kit
