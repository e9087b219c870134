#pragma once

#include <xcb/xcb.h>

// Kit-internal: what frames sent to an X server as raw pixels rely on.
namespace kit::x11 {

// The application's own connection to the X server, or null when it runs on
// another platform.
xcb_connection_t* applicationConnection();

// Whether `window` takes an image's pixels as they are: depth 24 laid out as
// 32 bits a pixel, least significant byte first, blue in the low byte (as in
// a true-colour visual's masks). Asks the server; call once per window.
bool takesImagePixels(xcb_connection_t* connection, xcb_window_t window);

} // namespace kit::x11
