#include "kit/Font.h"

#include <QFont>
#include <QFontDatabase>
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
    const QString wanted = QString::fromStdString(name);
    const QStringList families = QFontDatabase::families();
    const auto it = std::find_if(families.begin(), families.end(), [&](const QString& family) {
        return family.compare(wanted, Qt::CaseInsensitive) == 0;
    });
    if (it == families.end())
        return std::nullopt;
    auto font = std::make_shared<QFont>(*it);
    font->setStyleStrategy(QFont::PreferAntialias);
    const double points = sanitisedSize(size);
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
    return m_font->family().toStdString();
}

QFont Font::qfontForDpi(double dpi) const
{
    QFont font = *m_font;
    font.setPointSizeF(m_size * 72.0 / (dpi > 0.0 ? dpi : 72.0));
    return font;
}

} // namespace kit
