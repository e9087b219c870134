#pragma once

namespace kit {

// Values are the platform's numbers (2 is centred).
enum class TextAlignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

// Values are the platform's numbers (4 truncates at the tail).
enum class LineBreakMode {
    ByWordWrapping = 0,
    ByCharWrapping = 1,
    ByClipping = 2,
    ByTruncatingHead = 3,
    ByTruncatingTail = 4,
    ByTruncatingMiddle = 5,
};

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    LineBreakMode lineBreakMode = LineBreakMode::ByWordWrapping;

    static ParagraphStyle defaultParagraphStyle() { return ParagraphStyle{}; }
};

} // namespace kit
