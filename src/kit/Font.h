#pragma once

#include <memory>
#include <optional>
#include <string>

class QFont;

namespace kit {

// A typeface at a size in points.
class Font {
public:
    // The installed family of that name at `size` points; nullopt when no
    // such family is installed. A size of zero or less means 12 points.
    static std::optional<Font> fontWithName(const std::string& name, double size);

    // What text is drawn in when it names no font: the system's fixed-width
    // font at 10 points.
    static Font defaultFont();

    std::string fontName() const;
    double pointSize() const { return m_size; }

    // Kit-internal: the Qt font at `size` points for a device of `dpi` dots
    // per inch, so that the font's points are the device's points.
    QFont qfontForDpi(double dpi) const;

private:
    Font(std::shared_ptr<const QFont> font, double size);

    std::shared_ptr<const QFont> m_font;
    double m_size;
};

} // namespace kit
