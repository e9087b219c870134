// The X server's frame queue on a real server: frames show at their dates
// and never before, in order; one queued again for its date replaces the
// first; cancelling drops what still waits, and frames queued afterwards do
// not wait behind the dropped ones; the ring of pixmaps is never written
// while a frame in it still waits; a window that goes while its frames wait
// leaves the queue whole for the next. Prints "frame queue: OK" or what
// failed.
#include "kit/Clock.h"
#include "kit/X11FrameQueue.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 20;
const QPoint kAt(10, 5);
// How late a frame may be seen on a loaded machine (the server puts it up
// in time; this program may be slow to look); never early. Frames below are
// half a second apart, so none is missed.
constexpr double kLate = 0.4;

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

[[noreturn]] void fail(const std::string& what)
{
    std::printf("FAIL: %s\n", what.c_str());
    std::exit(1);
}

double now()
{
    return kit::Clock::current().now();
}

void waitFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Shows a plain window of its own on the server and waits until it is on screen.
void showWindow(QWindow& window)
{
    window.setSurfaceType(QSurface::RasterSurface);
    window.setGeometry(0, 0, 100, 40);
    window.show();
    for (int i = 0; i < 200 && !window.isExposed(); ++i)
        waitFor(0.01);
    if (!window.isExposed())
        fail("the window never showed");
}

QImage frame(QRgb colour)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The colour at the middle of the frame's place, read back from the server.
QRgb shown(const QWindow& window)
{
    xcb_connection_t* c = connection();
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_drawable_t>(window.winId()),
                      kAt.x() + kWidth / 2, kAt.y() + kHeight / 2, 1, 1, ~0u),
        nullptr);
    if (!reply)
        fail("could not read the window back");
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, xcb_get_image_data(reply), 4);
    std::free(reply);
    return pixel & 0xffffff;
}

// Draws straight on the window, as the marquee does between queued frames.
void putNow(const QWindow& window, QRgb colour)
{
    xcb_connection_t* c = connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, id, 0, nullptr);
    const QImage image = frame(colour);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, gc, kWidth, kHeight, static_cast<std::int16_t>(kAt.x()),
                  static_cast<std::int16_t>(kAt.y()), 0, 24, static_cast<std::uint32_t>(image.sizeInBytes()),
                  image.constBits());
    xcb_free_gc(c, gc);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

struct Sighting {
    QRgb colour;
    double first;
};

// Reads the window until `until`, noting each new colour and when it was
// first seen.
std::vector<Sighting> watch(const QWindow& window, double until)
{
    std::vector<Sighting> seen;
    while (now() < until) {
        const QRgb colour = shown(window);
        if (seen.empty() || seen.back().colour != colour)
            seen.push_back({colour, now()});
        waitFor(0.01);
    }
    return seen;
}

std::string describe(const std::vector<Sighting>& seen, double from)
{
    std::string text;
    char part[64];
    for (const Sighting& s : seen) {
        std::snprintf(part, sizeof part, " %06x@%+.3f", s.colour, s.first - from);
        text += part;
    }
    return text;
}

// The colours seen are exactly `colours`, the i-th from `dates[i]` on:
// never before its date, and not much after.
void expectSequence(const std::vector<Sighting>& seen, const std::vector<QRgb>& colours,
                    const std::vector<double>& dates, double from, const std::string& what)
{
    bool ok = seen.size() == colours.size();
    for (std::size_t i = 0; ok && i < seen.size(); ++i) {
        ok = seen[i].colour == colours[i];
        if (ok && i > 0)
            ok = seen[i].first >= dates[i] - 0.002 && seen[i].first <= dates[i] + kLate;
    }
    if (!ok)
        fail(what + ": saw" + describe(seen, from));
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        fail("needs the xcb platform");
    QWindow window;
    showWindow(window);

    std::unique_ptr<kit::X11FrameQueue> queue = kit::X11FrameQueue::create();
    if (!queue || !queue->accepts(&window))
        fail("the server takes no queued frames");
    const QRgb white = 0xffffff, red = 0xff0000, green = 0x00ff00, blue = 0x0000ff, black = 0x000000;

    // In their time, in order; a frame queued again for its date, after a
    // later one, takes the first one's place rather than coming last.
    putNow(window, white);
    double t = now();
    if (!queue->queue(&window, frame(red), kAt, t + 0.3) || !queue->queue(&window, frame(black), kAt, t + 0.8)
        || !queue->queue(&window, frame(blue), kAt, t + 1.3) || !queue->queue(&window, frame(green), kAt, t + 0.8))
        fail("frames were refused");
    queue->flush();
    expectSequence(watch(window, t + 1.9), {white, red, green, blue}, {t, t + 0.3, t + 0.8, t + 1.3}, t,
                   "frames in their time");

    // Cancelled: what waits is dropped, what is drawn afterwards stays, and
    // the next frames do not wait behind the dropped ones.
    t = now();
    queue->queue(&window, frame(black), kAt, t + 0.3);
    queue->queue(&window, frame(red), kAt, t + 30.0);
    queue->flush();
    queue->cancel();
    putNow(window, white);
    queue->queue(&window, frame(green), kAt, t + 0.5);
    queue->flush();
    expectSequence(watch(window, t + 1.1), {white, green}, {t, t + 0.5}, t, "after a cancel");

    // The ring: a second of frames 20 ms apart fits; it refuses a frame
    // rather than overwrite one that still waits, and takes frames again
    // once those before have been shown.
    t = now();
    int taken = 0;
    for (int i = 0; i < 100; ++i)
        taken += queue->queue(&window, frame(qRgb(i, i, i)), kAt, t + 0.2 + i * 0.01) ? 1 : 0;
    queue->flush();
    if (taken < 50 || taken >= 100)
        fail("the ring took " + std::to_string(taken) + " of 100 frames due within a second");
    waitFor(0.2 + taken * 0.01 + 0.5);
    const QRgb last = qRgb(taken - 1, taken - 1, taken - 1) & 0xffffff;
    if (shown(window) != last)
        fail("the last frame taken is not on screen");
    t = now();
    if (!queue->queue(&window, frame(red), kAt, t + 0.1))
        fail("no frame taken once the ring's frames were shown");
    queue->flush();
    expectSequence(watch(window, t + 0.7), {last, red}, {t, t + 0.1}, t, "after the ring went round");

    // The window goes while frames for it wait; the queue serves the next
    // window as if new.
    t = now();
    for (int i = 0; i < 10; ++i)
        queue->queue(&window, frame(blue), kAt, t + 0.1 * i);
    queue->flush();
    window.destroy();
    QWindow next;
    showWindow(next);
    putNow(next, white);
    t = now();
    if (!queue->queue(&next, frame(green), kAt, t + 0.2))
        fail("no frame taken for a new window");
    queue->flush();
    expectSequence(watch(next, t + 0.7), {white, green}, {t, t + 0.2}, t, "a new window");

    std::printf("frame queue: OK\n");
    return 0;
}
