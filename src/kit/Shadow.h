#pragma once

#include "kit/Color.h"
#include "kit/Geometry.h"

namespace kit {

// A drop shadow cast by drawn text: a blurred copy of the text's shape in
// `shadowColor`, moved by `shadowOffset` (points, y up: a negative height
// moves it down).
class Shadow {
public:
    Shadow() = default;

    double shadowBlurRadius() const { return m_blurRadius; }
    void setShadowBlurRadius(double radius) { m_blurRadius = radius > 0.0 ? radius : 0.0; }

    Size shadowOffset() const { return m_offset; }
    void setShadowOffset(Size offset) { m_offset = offset; }

    const Color& shadowColor() const { return m_color; }
    void setShadowColor(const Color& color) { m_color = color; }

    friend bool operator==(const Shadow&, const Shadow&) = default;

private:
    double m_blurRadius = 0.0;
    Size m_offset;
    Color m_color = Color::colorWithDeviceWhite(0.0, 1.0 / 3.0);
};

} // namespace kit
