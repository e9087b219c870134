#include "kit/X11ImageSender.h"

#include "kit/X11Support.h"

#include <QImage>
#include <QRect>
#include <QWindow>

#include <cstring>
#include <vector>

namespace kit {

namespace {

// What is known about the one window frames are sent to; asked of the
// server once per window, not per frame.
struct Target {
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_gcontext_t gc = XCB_NONE;
    bool usable = false;
    // The rows of the rectangle, packed; kept to spare an allocation a frame.
    std::vector<std::uint8_t> rows;
};

Target& target()
{
    static auto* t = new Target;
    return *t;
}

bool prepare(QWindow* window)
{
    Target& t = target();
    xcb_connection_t* c = x11::applicationConnection();
    const xcb_window_t id = x11::windowId(window);
    if (!c || id == XCB_WINDOW_NONE)
        return false;
    if (c == t.connection && id == t.window)
        return t.usable;
    if (t.gc != XCB_NONE && t.connection == c)
        xcb_free_gc(c, t.gc);
    t.connection = c;
    t.window = id;
    t.gc = XCB_NONE;
    t.usable = x11::takesImagePixels(c, id);
    if (t.usable)
        t.gc = x11::createQuietGc(c, id);
    return t.usable;
}

} // namespace

bool X11ImageSender::send(QWindow* window, const QImage& image, const QRect& area)
{
    if (!x11::hasWindowPixelLayout(image))
        return false;
    if (area.isEmpty() || !image.rect().contains(area) || !prepare(window))
        return false;
    Target& t = target();
    const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(area.height());
    // One request must stay within what the server takes; a large area goes
    // the usual way.
    if (bytes > x11::maxPutImageBytes(t.connection))
        return false;
    const std::uint8_t* data = image.constScanLine(area.top()) + area.left() * 4;
    if (rowBytes != static_cast<std::size_t>(image.bytesPerLine()) || area.left() != 0) {
        t.rows.resize(bytes);
        for (int y = 0; y < area.height(); ++y)
            std::memcpy(t.rows.data() + y * rowBytes, image.constScanLine(area.top() + y) + area.left() * 4,
                        rowBytes);
        data = t.rows.data();
    }
    x11::putPixels(t.connection, t.window, t.gc, area.width(), area.height(), area.left(), area.top(), data);
    xcb_flush(t.connection);
    return true;
}

} // namespace kit
