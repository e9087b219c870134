#include "kit/X11Support.h"

#include <QGuiApplication>
#include <QImage>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <cstring>

namespace kit::x11 {

namespace {
// The put-image request's own header, ahead of its pixels.
constexpr std::size_t kPutImageHeaderBytes = 24;
} // namespace

xcb_connection_t* applicationConnection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t windowId(const QWindow* window)
{
    return window && window->handle() ? static_cast<xcb_window_t>(window->winId()) : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_gcontext_t createQuietGc(xcb_connection_t* c, xcb_drawable_t drawable)
{
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, gc, drawable, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    return gc;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootWindow(xcb_connection_t* c)
{
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

std::vector<std::uint32_t> words(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                 std::uint32_t maxWords)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, maxWords), nullptr));
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    return std::vector<std::uint32_t>(data, data + std::max(count, 0));
}

void setWords(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
              const std::vector<std::uint32_t>& values)
{
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, type, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
}

void skipTaskbar(QWindow* window)
{
    xcb_connection_t* c = applicationConnection();
    const xcb_window_t id = windowId(window);
    if (!c || id == XCB_WINDOW_NONE)
        return;
    const xcb_atom_t stateAtom = atom(c, "_NET_WM_STATE");
    // Qt keeps states it does not manage itself when it maps the window.
    std::vector<uint32_t> state = words(c, id, stateAtom, XCB_ATOM_ATOM, 32);
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t a = atom(c, name);
        if (std::find(state.begin(), state.end(), a) == state.end())
            state.push_back(a);
    }
    setWords(c, id, stateAtom, XCB_ATOM_ATOM, state);
    if (window->isVisible()) {
        // A mapped window's state changes only by asking the window manager.
        const xcb_window_t root = rootWindow(c);
        for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = id;
            message.type = stateAtom;
            message.data.data32[0] = 1; // add
            message.data.data32[1] = atom(c, name);
            message.data.data32[3] = 1; // from an application
            xcb_send_event(c, 0, root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&message));
        }
    }
    xcb_flush(c);
}

bool takesImagePixels(xcb_connection_t* c, xcb_window_t window)
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
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    const Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
    if (!attributes || !geometry || geometry->depth != 24)
        return false;
    for (auto s = xcb_setup_roots_iterator(setup); s.rem; xcb_screen_next(&s)) {
        for (auto d = xcb_screen_allowed_depths_iterator(s.data); d.rem; xcb_depth_next(&d)) {
            if (d.data->depth != 24)
                continue;
            for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
                if (v.data->visual_id == attributes->visual && v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR
                    && v.data->red_mask == 0xff0000 && v.data->green_mask == 0x00ff00 && v.data->blue_mask == 0x0000ff)
                    return true;
            }
        }
    }
    return false;
}

bool hasWindowPixelLayout(const QImage& image)
{
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32_Premultiplied;
}

std::size_t maxPutImageBytes(xcb_connection_t* c)
{
    return std::size_t(xcb_get_maximum_request_length(c)) * 4 - kPutImageHeaderBytes;
}

void putPixels(xcb_connection_t* c, xcb_drawable_t drawable, xcb_gcontext_t gc, int width, int height, int x, int y,
               const std::uint8_t* pixels)
{
    const auto bytes = static_cast<std::uint32_t>(std::size_t(width) * std::size_t(height) * 4);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, gc, static_cast<std::uint16_t>(width),
                  static_cast<std::uint16_t>(height), static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0, 24,
                  bytes, pixels);
}

} // namespace kit::x11
