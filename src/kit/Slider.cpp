#include "kit/Slider.h"

#include <QAbstractSlider>
#include <QSignalBlocker>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kit {

namespace {
QAbstractSlider* asSlider(QWidget* widget)
{
    return qobject_cast<QAbstractSlider*>(widget);
}
} // namespace

Slider::Slider(QWidget* widget)
    : Control(widget)
{
    if (QAbstractSlider* slider = asSlider(widget)) {
        m_value = slider->value() / scale();
        // Values set in code arrive with the widget's signals blocked, so
        // this hears the user only.
        m_listener = std::make_unique<QObject>();
        QObject::connect(slider, &QAbstractSlider::valueChanged, m_listener.get(), [this] { userMoved(); });
    }
}

Slider::~Slider() = default;

double Slider::scale() const
{
    QWidget* w = widget();
    bool ok = false;
    const double scale = w ? w->property("scale").toDouble(&ok) : 1.0;
    return ok && std::isfinite(scale) && scale > 0.0 ? scale : 1.0;
}

double Slider::minValue() const
{
    QAbstractSlider* slider = asSlider(widget());
    return slider ? slider->minimum() / scale() : 0.0;
}

double Slider::maxValue() const
{
    QAbstractSlider* slider = asSlider(widget());
    return slider ? slider->maximum() / scale() : 0.0;
}

double Slider::doubleValue() const
{
    return m_value;
}

int Slider::intValue() const
{
    const double value = std::trunc(m_value);
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void Slider::setDoubleValue(double value)
{
    QAbstractSlider* slider = asSlider(widget());
    if (!slider) {
        m_value = value;
        return;
    }
    if (std::isnan(value))
        value = minValue();
    m_value = std::clamp(value, minValue(), maxValue());
    const QSignalBlocker quiet(slider);
    slider->setValue(static_cast<int>(std::lround(m_value * scale())));
}

void Slider::userMoved()
{
    if (QAbstractSlider* slider = asSlider(widget()))
        m_value = slider->value() / scale();
    sendAction();
}

} // namespace kit
