#pragma once

#include <algorithm>

namespace kit {

// Points, with the origin at the bottom left and y pointing up.
struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height)
        : origin{x, y}
        , size{width, height}
    {
    }
    constexpr Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }

    // No area: what the platform calls an empty rectangle.
    bool isEmpty() const { return !(size.width > 0.0) || !(size.height > 0.0); }

    // The same area with a non-negative width and height.
    Rect standardized() const
    {
        Rect r = *this;
        if (r.size.width < 0.0) {
            r.origin.x += r.size.width;
            r.size.width = -r.size.width;
        }
        if (r.size.height < 0.0) {
            r.origin.y += r.size.height;
            r.size.height = -r.size.height;
        }
        return r;
    }

    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }

    Rect intersection(const Rect& other) const
    {
        const double x0 = std::max(minX(), other.minX());
        const double y0 = std::max(minY(), other.minY());
        const double x1 = std::min(maxX(), other.maxX());
        const double y1 = std::min(maxY(), other.maxY());
        if (!(x1 > x0) || !(y1 > y0))
            return Rect();
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// The empty rectangle; as an image source it means the whole image.
inline constexpr Rect ZeroRect{};

} // namespace kit
