#pragma once

namespace kit {

// A colour in device RGB with alpha, components 0.0 to 1.0.
class Color {
public:
    // Opaque black.
    constexpr Color() = default;

    static Color colorWithDeviceRed(double red, double green, double blue, double alpha);
    static Color colorWithDeviceWhite(double white, double alpha);

    static Color blackColor();
    static Color whiteColor();
    static Color redColor();
    static Color darkGrayColor();
    static Color clearColor();
    // The background of a selected menu item: the desktop's highlight colour.
    static Color selectedMenuItemColor();

    double redComponent() const { return m_red; }
    double greenComponent() const { return m_green; }
    double blueComponent() const { return m_blue; }
    double alphaComponent() const { return m_alpha; }

    // Makes this the colour of later fills, outlines and strokes in the
    // current drawing context (a view being drawn or a locked image).
    void set() const;

    friend bool operator==(const Color&, const Color&) = default;

private:
    constexpr Color(double r, double g, double b, double a)
        : m_red(r)
        , m_green(g)
        , m_blue(b)
        , m_alpha(a)
    {
    }

    double m_red = 0.0;
    double m_green = 0.0;
    double m_blue = 0.0;
    double m_alpha = 1.0;
};

} // namespace kit
