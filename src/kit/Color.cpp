#include "kit/Color.h"

#include "kit/GraphicsContext.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace kit {

namespace {
double clampUnit(double v)
{
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}
}

Color Color::colorWithDeviceRed(double red, double green, double blue, double alpha)
{
    return Color(clampUnit(red), clampUnit(green), clampUnit(blue), clampUnit(alpha));
}

Color Color::colorWithDeviceWhite(double white, double alpha)
{
    const double w = clampUnit(white);
    return Color(w, w, w, clampUnit(alpha));
}

Color Color::blackColor()
{
    return Color(0.0, 0.0, 0.0, 1.0);
}

Color Color::whiteColor()
{
    return Color(1.0, 1.0, 1.0, 1.0);
}

Color Color::redColor()
{
    return Color(1.0, 0.0, 0.0, 1.0);
}

Color Color::darkGrayColor()
{
    return colorWithDeviceWhite(1.0 / 3.0, 1.0);
}

Color Color::clearColor()
{
    return Color(0.0, 0.0, 0.0, 0.0);
}

Color Color::selectedMenuItemColor()
{
    QColor highlight(56, 117, 215); // without an application there is no palette
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        highlight = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return Color(highlight.redF(), highlight.greenF(), highlight.blueF(), 1.0);
}

void Color::set() const
{
    if (GraphicsContext* context = GraphicsContext::current())
        context->setColor(*this);
}

} // namespace kit
