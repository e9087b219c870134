#include "kit/X11ImageSender.h"

#include "kit/X11Pixels.h"

#include <QImage>
#include <QRect>
#include <QWindow>

#include <cstdlib>
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
    const xcb_window_t id
        = window && window->handle() ? static_cast<xcb_window_t>(window->winId()) : xcb_window_t(XCB_WINDOW_NONE);
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
    if (t.usable) {
        t.gc = xcb_generate_id(c);
        const std::uint32_t noExposures = 0;
        xcb_create_gc(c, t.gc, id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    }
    return t.usable;
}

} // namespace

bool X11ImageSender::send(QWindow* window, const QImage& image, const QRect& area)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    if (area.isEmpty() || !image.rect().contains(area) || !prepare(window))
        return false;
    Target& t = target();
    const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
    const std::size_t bytes = rowBytes * static_cast<std::size_t>(area.height());
    // One request must stay within what the server takes; a large area goes
    // the usual way.
    if (bytes + 24 > std::size_t(xcb_get_maximum_request_length(t.connection)) * 4)
        return false;
    const std::uint8_t* data = image.constScanLine(area.top()) + area.left() * 4;
    if (rowBytes != static_cast<std::size_t>(image.bytesPerLine()) || area.left() != 0) {
        t.rows.resize(bytes);
        for (int y = 0; y < area.height(); ++y)
            std::memcpy(t.rows.data() + y * rowBytes, image.constScanLine(area.top() + y) + area.left() * 4,
                        rowBytes);
        data = t.rows.data();
    }
    xcb_put_image(t.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, t.window, t.gc, static_cast<std::uint16_t>(area.width()),
                  static_cast<std::uint16_t>(area.height()), static_cast<std::int16_t>(area.left()),
                  static_cast<std::int16_t>(area.top()), 0, 24, static_cast<std::uint32_t>(bytes), data);
    xcb_flush(t.connection);
    return true;
}

} // namespace kit
