#include "kit/FontPanel.h"

#include <QFont>
#include <QFontDialog>
#include <QPointer>
#include <QSignalBlocker>

#include <cmath>

namespace kit {

namespace {
QFont qfontOf(const Font& font)
{
    QFont qfont(QString::fromStdString(font.fontName()));
    qfont.setPointSizeF(font.pointSize());
    return qfont;
}
} // namespace

struct FontPanel::Private {
    QPointer<QFontDialog> panel;
    QObject listener; // holds the connection to the panel
    // The font chosen in the panel: family and size as chosen (the dialog
    // itself offers whole sizes only).
    std::optional<QFont> chosen;
};

FontPanel& FontPanel::sharedFontManager()
{
    static FontPanel* manager = new FontPanel(); // never destroyed, see `d`
    return *manager;
}

FontPanel::FontPanel()
    : d(new Private)
{
}

void FontPanel::ensurePanel()
{
    if (d->panel)
        return;
    auto* panel = new QFontDialog();
    panel->setOption(QFontDialog::DontUseNativeDialog);
    panel->setOption(QFontDialog::NoButtons);
    panel->setWindowTitle(QStringLiteral("Fonts"));
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    QObject::connect(panel, &QFontDialog::currentFontChanged, &d->listener, [this](const QFont& font) {
        d->chosen = font;
        fontChanged();
    });
    d->panel = panel;
}

void FontPanel::setSelectedFont(const std::optional<Font>& font, bool)
{
    m_selected = font;
    d->chosen.reset();
    if (d->panel && m_selected) {
        const QSignalBlocker quiet(d->panel.data());
        d->panel->setCurrentFont(qfontOf(*m_selected));
    }
}

void FontPanel::orderFrontFontPanel()
{
    ensurePanel();
    d->chosen.reset();
    if (m_selected) {
        const QSignalBlocker quiet(d->panel.data());
        d->panel->setCurrentFont(qfontOf(*m_selected));
    }
    d->panel->show();
    d->panel->raise();
    d->panel->activateWindow();
}

bool FontPanel::isPanelVisible() const
{
    return d->panel && d->panel->isVisible();
}

void FontPanel::closePanel()
{
    if (d->panel)
        d->panel->hide();
}

std::optional<Font> FontPanel::convertFont(const std::optional<Font>& font) const
{
    if (!d->chosen)
        return font;
    const QFont& chosen = *d->chosen;
    double size = chosen.pointSizeF();
    if (!(size > 0.0))
        size = font ? font->pointSize() : 0.0;
    std::optional<Font> converted = Font::fontWithName(chosen.family().toStdString(), size);
    return converted ? converted : font;
}

std::shared_ptr<void> FontPanel::setDelegate(ChangeFont changeFont)
{
    m_delegate = std::move(changeFont);
    const std::uint64_t generation = ++m_delegateGeneration;
    return std::shared_ptr<void>(nullptr, [this, generation](void*) {
        if (m_delegateGeneration == generation)
            m_delegate = nullptr;
    });
}

void FontPanel::choose(const std::string& family, double pointSize)
{
    ensurePanel();
    if (!d->panel->isVisible())
        orderFrontFontPanel();
    QFont font(QString::fromStdString(family));
    font.setPointSizeF(pointSize);
    {
        const QSignalBlocker quiet(d->panel.data());
        d->panel->setCurrentFont(font);
    }
    d->chosen = font;
    fontChanged();
}

void FontPanel::fontChanged()
{
    if (m_delegate) {
        ChangeFont delegate = m_delegate; // the delegate may replace itself
        delegate();
    }
}

} // namespace kit
