#pragma once

#include "kit/Geometry.h"
#include "kit/TextAttributes.h"

#include <string>

namespace kit {

// Measuring and drawing UTF-8 strings. Text from outside can hold anything:
// line breaks and other control characters are laid out as spaces, and
// malformed bytes as replacement characters.

// The size of the string on one line.
Size sizeWithAttributes(const std::string& text, const TextAttributes& attributes);

// Draws the string into the rectangle of the current drawing context, its
// first line at the rectangle's top. With a truncating line-break mode the
// text stays on one line and is cut with an ellipsis where it is wider than
// the rectangle. Glyphs and shadow are not clipped to the rectangle.
void drawInRect(const std::string& text, Rect rect, const TextAttributes& attributes);

// Kit-internal: the device pixels wide and high of the layer the last
// `drawInRect` with a shadow blurred (zero when it made none). The layer
// covers only what can reach the drawing destination.
Size lastShadowLayerPixels();

} // namespace kit
