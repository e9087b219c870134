#pragma once

#include "kit/Geometry.h"
#include "kit/TextAttributes.h"

#include <string>

namespace kit {

// Measuring and drawing UTF-8 strings. Text from outside can hold anything:
// line breaks and other control characters are laid out as spaces,
// malformed bytes as replacement characters, and no character carries more
// than kMaxCombiningMarks combining marks (thousands on one letter cost the
// layout a good part of a second and show nothing more).

inline constexpr int kMaxCombiningMarks = 8;

// The text as it is measured and drawn.
std::string laidOutText(const std::string& text);

// The text kept to its own direction where it is one piece of a line: a text
// with right-to-left letters or direction controls comes back set apart
// (U+2068 ... U+2069), its own isolates balanced, so that neither its
// letters nor an override it leaves open reorder the rest of the line. Any
// other text comes back as it is.
std::string directionIsolated(const std::string& text);

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
