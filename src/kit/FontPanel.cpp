#include "kit/FontPanel.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QPointer>
#include <QSignalBlocker>

#include <cmath>

namespace kit {

namespace {
// The face as the panel lists it: its family, its style and its size, so
// the panel opens on the face that is drawn.
QFont qfontOf(const Font& font)
{
    const QFontInfo face(font.qfontForDpi(72.0));
    QFont qfont = QFontDatabase::font(face.family(), face.styleName(), 12);
    qfont.setStyleName(face.styleName());
    qfont.setPointSizeF(font.pointSize());
    return qfont;
}

// The style of a font the panel reports: its style name, or the one its
// weight and slant make.
std::string styleOf(const QFont& font)
{
    return QFontDatabase::styleString(font).toStdString();
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

std::optional<FontPanel::Shown> FontPanel::shownFont() const
{
    if (!d->panel)
        return std::nullopt;
    const QFont font = d->panel->currentFont();
    return Shown{font.family().toStdString(), styleOf(font), font.pointSize()};
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
    std::optional<Font> converted = Font::fontWithFace(chosen.family().toStdString(), styleOf(chosen), size);
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
    choose(family, std::string(), pointSize);
}

void FontPanel::choose(const std::string& family, const std::string& style, double pointSize)
{
    ensurePanel();
    if (!d->panel->isVisible())
        orderFrontFontPanel();
    QFont font(QString::fromStdString(family));
    if (!style.empty()) {
        font = QFontDatabase::font(QString::fromStdString(family), QString::fromStdString(style), 12);
        font.setStyleName(QString::fromStdString(style));
    }
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
