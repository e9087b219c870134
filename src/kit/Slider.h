#pragma once

#include "kit/Control.h"

#include <memory>

class QObject;

namespace kit {

// A slider with a floating value between its minimum and maximum.
//
// The widget (a QSlider) counts in whole steps; its dynamic property `scale`
// (a number, 1 when absent) gives the steps per unit, so a slider from 1 to
// 50 with scale 10 offers 0.1 to 5.0 in tenths. The value set with
// `setDoubleValue` is kept exactly (clamped to the range) until the user
// moves the slider; the widget shows the nearest step. Setting a value sends
// no action; the user's moves send it on every change of value.
class Slider : public Control {
public:
    explicit Slider(QWidget* widget);
    ~Slider() override;

    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    // Truncated toward zero.
    int intValue() const;
    void setDoubleValue(double value);

    double minValue() const;
    double maxValue() const;

private:
    double scale() const;
    void userMoved();

    std::unique_ptr<QObject> m_listener; // holds the connection to the widget

    double m_value = 0.0;
};

} // namespace kit
