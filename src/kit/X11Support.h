#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class QImage;
class QWindow;

// Kit-internal: the pieces every part of the kit that speaks to the X server
// itself shares.
namespace kit::x11 {

// The application's own connection to the X server, or null when it runs on
// another platform.
xcb_connection_t* applicationConnection();

// A window's id on the X server; none while it has no native window.
xcb_window_t windowId(const QWindow* window);

// Owns a reply (or anything else xcb hands over to be freed with free()).
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// A graphics context for `drawable` that asks for no exposure events: what
// is copied or put is never read back.
xcb_gcontext_t createQuietGc(xcb_connection_t* connection, xcb_drawable_t drawable);

// Whether `window` takes an image's pixels as they are: depth 24 laid out as
// 32 bits a pixel, least significant byte first, blue in the low byte (as in
// a true-colour visual's masks). Asks the server; call once per window.
bool takesImagePixels(xcb_connection_t* connection, xcb_window_t window);

// Whether `image` holds 32-bit pixels that such a window takes as they are.
bool hasWindowPixelLayout(const QImage& image);

// The atom of that name, interned if need be.
xcb_atom_t atom(xcb_connection_t* connection, const char* name);

// The first screen's root window.
xcb_window_t rootWindow(xcb_connection_t* connection);

// A 32-bit property as a list of values; empty when absent or of another
// type.
std::vector<std::uint32_t> words(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                 xcb_atom_t type, std::uint32_t maxWords);
void setWords(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
              const std::vector<std::uint32_t>& values);

// Keeps an ordinary window out of the taskbar and the pager. Call as the
// window is about to be shown.
void skipTaskbar(QWindow* window);

// The most pixel bytes one put-image request carries on `connection`.
std::size_t maxPutImageBytes(xcb_connection_t* connection);

// Puts `height` rows of `width` 32-bit pixels at (x, y) of a depth-24
// drawable, in one request.
void putPixels(xcb_connection_t* connection, xcb_drawable_t drawable, xcb_gcontext_t gc, int width, int height, int x,
               int y, const std::uint8_t* pixels);

} // namespace kit::x11
