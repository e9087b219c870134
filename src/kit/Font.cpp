#include "kit/Font.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace kit {

namespace {
constexpr double kDefaultSize = 12.0;
constexpr double kDefaultFontSize = 10.0;
// Beyond this a glyph alone would pass the painting system's limits.
constexpr double kLargestSize = 2000.0;

double sanitisedSize(double size)
{
    if (!std::isfinite(size) || size <= 0.0)
        return kDefaultSize;
    return std::min(size, kLargestSize);
}

bool sameText(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A name without its blanks, as PostScript-style names are written.
QString compact(const QString& name)
{
    QString out = name;
    out.remove(QLatin1Char(' '));
    return out;
}

// The style of `family` that `style` names, or an empty string.
QString styleOf(const QString& family, const QString& style)
{
    for (const QString& candidate : QFontDatabase::styles(family)) {
        if (sameText(candidate, style) || sameText(compact(candidate), style))
            return candidate;
    }
    return {};
}

// The style a plain family name gives: the face the family's default
// resolves to.
QString regularStyle(const QString& family)
{
    return QFontInfo(QFont(family)).styleName();
}

struct Face {
    QString family;
    QString style; // empty: the family's regular face
};

// Finds the face a name means: a family ("DejaVu Sans Mono"), a family plus
// one of its styles ("DejaVu Sans Mono Bold"), or a PostScript-style name
// ("DejaVuSansMono-Bold", "DejaVuSansMono"). Case does not matter. Where
// several families fit, the longest one that leaves a known style wins.
// A family as the font system lists it where two foundries offer one
// ("C059 [urw]"), without the foundry: how people and other programs name it.
QString bareFamily(const QString& family)
{
    const int bracket = family.lastIndexOf(QLatin1String(" ["));
    return bracket > 0 && family.endsWith(QLatin1Char(']')) ? family.left(bracket) : family;
}

std::optional<Face> faceNamed(const QString& name)
{
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (sameText(family, name))
            return Face{family, {}};
    }
    for (const QString& family : families) {
        if (sameText(bareFamily(family), name))
            return Face{family, {}};
    }
    std::optional<Face> best;
    qsizetype bestLength = 0;
    const auto consider = [&](const QString& family, qsizetype length, const QString& style) {
        if (style.isEmpty() || (best && bestLength >= length))
            return;
        best = Face{family, style};
        bestLength = length;
    };
    const int dash = name.lastIndexOf(QLatin1Char('-'));
    for (const QString& family : families) {
        for (const QString& called : {family, bareFamily(family)}) {
            if (name.size() > called.size() + 1 && name.startsWith(called, Qt::CaseInsensitive)
                && name.at(called.size()) == QLatin1Char(' '))
                consider(family, called.size(), styleOf(family, name.mid(called.size() + 1)));
            const QString packed = compact(called);
            if (sameText(packed, name))
                consider(family, called.size(), regularStyle(family));
            if (dash > 0 && dash + 1 < name.size() && sameText(packed, name.left(dash))) {
                const QString style = name.mid(dash + 1);
                if (!style.contains(QLatin1Char(' ')))
                    consider(family, called.size(), styleOf(family, style));
            }
        }
    }
    if (best && sameText(best->style, regularStyle(best->family)))
        best->style.clear();
    return best;
}
} // namespace

Font::Font(std::shared_ptr<const QFont> font, double size)
    : m_font(std::move(font))
    , m_size(size)
{
}

std::optional<Font> Font::fontWithName(const std::string& name, double size)
{
    if (name.empty())
        return std::nullopt;
    const std::optional<Face> face = faceNamed(QString::fromStdString(name).simplified());
    if (!face)
        return std::nullopt;
    return fontWithFace(face->family.toStdString(), face->style.toStdString(), size);
}

std::optional<Font> Font::fontWithFace(const std::string& family, const std::string& style, double size)
{
    const QString wantedFamily = QString::fromStdString(family);
    const QStringList families = QFontDatabase::families();
    const auto it = std::find_if(families.begin(), families.end(),
                                 [&](const QString& installed) { return sameText(installed, wantedFamily); });
    if (it == families.end())
        return std::nullopt;
    const double points = sanitisedSize(size);
    std::shared_ptr<QFont> font;
    const QString wantedStyle = QString::fromStdString(style);
    const QString known = wantedStyle.isEmpty() ? QString() : styleOf(*it, wantedStyle);
    if (known.isEmpty() || sameText(known, regularStyle(*it))) {
        // An unknown style gives the regular face rather than none, so a
        // font chosen in the panel is never lost for its style.
        font = std::make_shared<QFont>(*it);
    } else {
        font = std::make_shared<QFont>(QFontDatabase::font(*it, known, 12));
        font->setStyleName(known);
    }
    font->setStyleStrategy(QFont::PreferAntialias);
    font->setPointSizeF(points);
    return Font(std::move(font), points);
}

Font Font::defaultFont()
{
    auto font = std::make_shared<QFont>(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    font->setStyleStrategy(QFont::PreferAntialias);
    font->setPointSizeF(kDefaultFontSize);
    return Font(std::move(font), kDefaultFontSize);
}

std::string Font::fontName() const
{
    // The face as it is drawn: what the font system matched, not merely
    // what was asked for.
    const QFontInfo info(*m_font);
    const QString family = info.family();
    const QString style = info.styleName();
    if (style.isEmpty() || sameText(style, regularStyle(family)))
        return family.toStdString();
    return (family + QLatin1Char(' ') + style).toStdString();
}

QFont Font::qfontForDpi(double dpi) const
{
    QFont font = *m_font;
    font.setPointSizeF(m_size * 72.0 / (dpi > 0.0 ? dpi : 72.0));
    return font;
}

} // namespace kit
