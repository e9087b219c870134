#include "kit/X11ImageSender.h"

#include <QGuiApplication>
#include <QImage>
#include <QRect>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

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

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The window's depth is 24 and the server lays 24-bit pixels out as the
// image does: 32 bits a pixel, least significant byte first, blue in the low
// byte (as in the root visual's masks).
bool formatMatches(xcb_connection_t* c, xcb_window_t window)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    bool thirtyTwoBits = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == 24)
            thirtyTwoBits = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    }
    if (!thirtyTwoBits)
        return false;
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
    bool matches = false;
    if (attributes && geometry && geometry->depth == 24) {
        for (auto s = xcb_setup_roots_iterator(setup); s.rem && !matches; xcb_screen_next(&s)) {
            for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem && !matches; xcb_depth_next(&d)) {
                if (d.data->depth != 24)
                    continue;
                for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                    if (v.data->visual_id == attributes->visual) {
                        matches = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000
                                  && v.data->green_mask == 0x00ff00 && v.data->blue_mask == 0x0000ff;
                        break;
                    }
                }
            }
        }
    }
    std::free(attributes);
    std::free(geometry);
    return matches;
}

bool prepare(QWindow* window)
{
    Target& t = target();
    xcb_connection_t* c = connection();
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
    t.usable = formatMatches(c, id);
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
