#include "kit/ColorWell.h"

#include "kit/QtBridge.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QPixmap>
#include <QPointer>
#include <QSignalBlocker>

namespace kit {

namespace {
// The swatch the well shows, in pixels.
constexpr int kSwatchWidth = 40;
constexpr int kSwatchHeight = 14;

QAbstractButton* asButton(QWidget* widget)
{
    return qobject_cast<QAbstractButton*>(widget);
}
} // namespace

struct ColorWell::Private {
    QObject listener;              // holds the connections to the widgets
    QPointer<QColorDialog> panel;  // made at the first click, a child of the well
};

ColorWell::ColorWell(QWidget* widget)
    : Control(widget)
    , d(std::make_unique<Private>())
{
    if (QAbstractButton* button = asButton(widget)) {
        button->setCheckable(false);
        QObject::connect(button, &QAbstractButton::clicked, &d->listener, [this] { activate(); });
    }
    showColor();
}

ColorWell::~ColorWell() = default;

void ColorWell::setColor(const Color& color)
{
    m_color = color;
    if (d->panel) {
        const QSignalBlocker quiet(d->panel.data());
        d->panel->setCurrentColor(toQColor(m_color));
    }
    showColor();
}

void ColorWell::activate()
{
    QWidget* well = widget();
    if (!well)
        return;
    if (!d->panel) {
        auto* panel = new QColorDialog(well);
        panel->setOption(QColorDialog::DontUseNativeDialog);
        panel->setOption(QColorDialog::NoButtons);
        panel->setWindowTitle(QStringLiteral("Colors"));
        QObject::connect(panel, &QColorDialog::currentColorChanged, &d->listener, [this](const QColor& chosen) {
            if (!chosen.isValid())
                return;
            const QColor rgb = chosen.toRgb();
            m_color = Color::colorWithDeviceRed(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
            showColor();
            sendAction();
        });
        d->panel = panel;
    }
    {
        const QSignalBlocker quiet(d->panel.data());
        d->panel->setCurrentColor(toQColor(m_color));
    }
    d->panel->show();
    d->panel->raise();
    d->panel->activateWindow();
}

bool ColorWell::isPanelVisible() const
{
    return d->panel && d->panel->isVisible();
}

void ColorWell::showColor()
{
    QAbstractButton* button = asButton(widget());
    if (!button)
        return;
    const QSize size(kSwatchWidth, kSwatchHeight);
    QPixmap swatch(size);
    swatch.fill(toQColor(m_color));
    button->setIconSize(size);
    button->setIcon(QIcon(swatch));
}

} // namespace kit
