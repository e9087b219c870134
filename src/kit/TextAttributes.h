#pragma once

#include "kit/Color.h"
#include "kit/Font.h"
#include "kit/ParagraphStyle.h"
#include "kit/Shadow.h"

#include <optional>

namespace kit {

// The attributes text is measured and drawn with. An absent entry takes the
// platform's default: natural alignment with word wrapping, black, no
// shadow, `Font::defaultFont()`.
struct TextAttributes {
    std::optional<ParagraphStyle> paragraphStyle;
    std::optional<Color> foregroundColor;
    std::optional<Shadow> shadow;
    std::optional<Font> font;
};

} // namespace kit
