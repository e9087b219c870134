#pragma once

class QImage;
class QRect;
class QWindow;

namespace kit {

// Sends one rectangle of a window's backing image straight to the window on
// the X server, in a single put-image request: no copy through the server
// pixmap that the generic flush keeps, no clip requests. Only where the
// image's pixels are already in the window's own format (a 24-bit true-colour
// window on a little-endian server, 32 bits a pixel); elsewhere it declines
// and the caller flushes as usual.
class X11ImageSender {
public:
    // True when the rectangle went to the server (and the connection was
    // flushed). `area` is in the image's device pixels and must lie in it.
    static bool send(QWindow* window, const QImage& image, const QRect& area);
};

} // namespace kit
