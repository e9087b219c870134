#pragma once

#include "kit/Color.h"
#include "kit/Geometry.h"
#include "kit/Graphics.h"

#include <memory>
#include <string>

class QImage;

namespace kit {

class GraphicsContext;

// A picture measured in points. It keeps one bitmap per pixel density it has
// (a bundle image may come with an "@2x" twin); drawing picks the one that
// suits the destination. Coordinates have the origin at the bottom left.
class Image {
public:
    // A new image, fully transparent, with `scale` device pixels per point.
    explicit Image(Size size, double scale = 1.0);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // An image of the main bundle's resources by file name ("noteIcon.png"),
    // with its "@2x" twin when there is one; null when there is no such file
    // or it is not an image. Loaded once per bundle and kept: the caller does
    // not own it.
    static Image* imageNamed(const std::string& name);
    // Forgets the loaded bundle images (tests that replace a resource).
    static void clearNamedImageCache();

    Size size() const { return m_size; }
    // Device pixels per point of the densest bitmap.
    double scale() const;
    int pixelsWide() const;
    int pixelsHigh() const;

    // Directs drawing into the image until `unlockFocus`, with the origin at
    // its bottom left. Calls nest with other drawing destinations. An image
    // without a bitmap (empty, or too large for one) takes the drawing and
    // keeps none of it.
    void lockFocus();
    void unlockFocus();

    // Draws the image at its natural size with its lower-left corner at
    // `point`. An empty `from` means the whole image.
    void drawAtPoint(Point point, Rect from, CompositingOperation operation, double fraction) const;
    // Draws the `from` part of the image into `rect` (scaled when their sizes
    // differ). Parts of `from` outside the image draw nothing. `fraction`
    // multiplies the image's opacity.
    void drawInRect(Rect rect, Rect from, CompositingOperation operation, double fraction) const;

    // Draws the image scrolled through a band `width` points wide and
    // `height` high at the origin: band column x shows the image's column
    // x - `shift`, full height, source-over. The first and last
    // `fadeColumns` columns fade out towards the band's ends: the i-th from
    // either end (from 0) at (i + 1) / fadeColumns of full opacity.
    // The same pixels as drawing the columns one by one with `drawInRect`;
    // where the band lies on a plain background in an image, it is composed
    // from copies of the image over that background, made once and kept
    // while the background stays.
    void drawScrolled(double width, double height, double shift, int fadeColumns) const;

    // The colour of one device pixel of the densest bitmap, counted from the
    // bottom-left corner, unpremultiplied. Transparent outside the image.
    Color colorAtPixel(int x, int y) const;

    bool writePNG(const std::string& path) const;

    // Kit-internal: the densest bitmap, and the one that suits `scale`.
    const QImage& bitmap() const;
    const QImage& bitmapForScale(double scale) const;

private:
    Image();
    struct Focus;

    Size m_size;
    std::unique_ptr<QImage> m_bitmap;   // the main bitmap (also the one drawn into)
    std::unique_ptr<QImage> m_hiDensity; // an optional denser twin
    std::unique_ptr<Focus> m_focus;
    struct Scrolled;
    mutable std::unique_ptr<Scrolled> m_scrolled; // copies over a background
    bool drawScrolledFromCopies(double width, double height, double shift, int fadeColumns) const;
};

} // namespace kit
