#pragma once

#include <memory>
#include <optional>
#include <string>

class QFont;

namespace kit {

// A typeface at a size in points.
class Font {
public:
    // The installed face of that name at `size` points: a family ("DejaVu
    // Sans Mono", its regular face), a family plus one of its styles
    // ("DejaVu Sans Mono Bold") or a PostScript-style name
    // ("DejaVuSansMono-Bold"), in any case. Nullopt when nothing installed
    // has that name. A size of zero or less means 12 points.
    static std::optional<Font> fontWithName(const std::string& name, double size);

    // Kit-internal: the face of an installed family by its style name (the
    // regular face when the family has no such style); nullopt when the
    // family is not installed.
    static std::optional<Font> fontWithFace(const std::string& family, const std::string& style, double size);

    // What text is drawn in when it names no font: the system's fixed-width
    // font at 10 points.
    static Font defaultFont();

    // The face drawn, as `fontWithName` accepts it: the family alone for
    // its regular face, else the family and the style ("DejaVu Sans Mono
    // Bold").
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
