#include "kit/X11FrameQueue.h"

#include "kit/Clock.h"
#include "kit/X11Support.h"

#include <QGuiApplication>
#include <QImage>
#include <QPoint>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace kit {

namespace {

// Enough for the frames a marquee queues ahead (a second's worth at 30 a
// second, forty at most), plus those just shown whose copies the server
// may still be making.
constexpr std::size_t kSlots = 64;
// A slot is written again only this long after its frame was due.
constexpr std::int64_t kSettledMs = 250;
// A new frame due sooner than this sends its pixels in line with its copy,
// which could otherwise overtake them.
constexpr std::int64_t kOvertakeMs = 20;

// The SERVERTIME counter, read from the list of system counters by hand:
// each entry is padded to four bytes, which the generated iterator skips
// wrongly.
xcb_sync_counter_t findServerTime(xcb_connection_t* c)
{
    const x11::Reply<xcb_sync_list_system_counters_reply_t> list(
        xcb_sync_list_system_counters_reply(c, xcb_sync_list_system_counters(c), nullptr));
    if (!list)
        return XCB_NONE;
    const auto* entry = reinterpret_cast<const std::uint8_t*>(list.get() + 1);
    const auto* end = reinterpret_cast<const std::uint8_t*>(list.get()) + 32 + std::size_t(list->length) * 4;
    static constexpr char kName[] = "SERVERTIME";
    for (std::uint32_t i = 0; i < list->counters_len && entry + 14 <= end; ++i) {
        std::uint32_t counter = 0;
        std::uint16_t length = 0;
        std::memcpy(&counter, entry, 4);
        std::memcpy(&length, entry + 12, 2);
        if (entry + 14 + length > end)
            break;
        if (length == sizeof kName - 1 && std::memcmp(entry + 14, kName, length) == 0)
            return counter;
        entry += (14 + length + 3) & ~std::size_t(3);
    }
    return XCB_NONE;
}

} // namespace

std::unique_ptr<X11FrameQueue> X11FrameQueue::create()
{
    xcb_connection_t* c = x11::applicationConnection();
    if (!c)
        return nullptr;
    return std::unique_ptr<X11FrameQueue>(new X11FrameQueue(c));
}

X11FrameQueue::X11FrameQueue(xcb_connection_t* application)
    : m_app(application)
{
}

X11FrameQueue::~X11FrameQueue()
{
    cancel();
    if (m_appGc != XCB_NONE && qGuiApp) {
        xcb_free_gc(m_app, m_appGc);
        xcb_flush(m_app);
    }
}

bool X11FrameQueue::accepts(QWindow* window)
{
    const xcb_window_t id = x11::windowId(window);
    if (m_unavailable || id == XCB_WINDOW_NONE)
        return false;
    if (id != m_window) {
        cancel();
        if (m_appGc != XCB_NONE)
            xcb_free_gc(m_app, m_appGc);
        m_appGc = XCB_NONE;
        m_window = id;
        m_takesPixels = x11::takesImagePixels(m_app, id);
        if (m_takesPixels)
            m_appGc = x11::createQuietGc(m_app, id);
    }
    return m_takesPixels;
}

bool X11FrameQueue::queue(QWindow* window, const QImage& frame, const QPoint& at, double date)
{
    if (!std::isfinite(date) || !readyFor(window, frame))
        return false;
    const std::int64_t due = std::llround(date * 1000.0) + m_offset;
    const std::int64_t now = serverNow();
    const std::optional<std::size_t> waiting = slotDueAt(due);
    const std::optional<std::size_t> slot = waiting ? waiting : takeSlot(now);
    if (!slot)
        return false;
    if (!waiting && due - now < kOvertakeMs)
        sendInLine(*slot, frame);
    else
        stage(*slot, frame);
    if (!waiting)
        copyWhenDue(*slot, due, at);
    return true;
}

bool X11FrameQueue::readyFor(QWindow* window, const QImage& frame)
{
    if (!x11::hasWindowPixelLayout(frame) || frame.isNull() || !accepts(window))
        return false;
    if (std::size_t(frame.sizeInBytes()) > x11::maxPutImageBytes(m_app)
        || std::size_t(frame.bytesPerLine()) != std::size_t(frame.width()) * 4
        || std::size_t(frame.height()) * kSlots > 32767)
        return false;
    if (frame.width() != m_width || frame.height() != m_height) {
        cancel();
        m_width = frame.width();
        m_height = frame.height();
    }
    if (!m_timed && !openTimedConnection())
        return false;
    if (m_ring == XCB_NONE)
        makeRing();
    return true;
}

std::optional<std::size_t> X11FrameQueue::slotDueAt(std::int64_t due) const
{
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (m_due[i] == due)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> X11FrameQueue::takeSlot(std::int64_t now)
{
    // Slots are taken in turn, so frames queued together sit side by side.
    if (m_due[m_nextSlot] >= now - kSettledMs)
        return std::nullopt; // its frame may still be waiting
    const std::size_t slot = m_nextSlot;
    m_nextSlot = (m_nextSlot + 1) % kSlots;
    return slot;
}

int X11FrameQueue::slotTop(std::size_t slot) const
{
    return static_cast<int>(slot * std::size_t(m_height));
}

void X11FrameQueue::sendInLine(std::size_t slot, const QImage& frame)
{
    // Due so soon that its copy could overtake pixels sent on the other
    // connection: they go in line with it.
    sendStaged();
    x11::putPixels(m_timed, m_ring, m_timedGc, m_width, m_height, 0, slotTop(slot), frame.constBits());
}

void X11FrameQueue::stage(std::size_t slot, const QImage& frame)
{
    // A frame replaced while its copy waits shows the new pixels; one whose
    // copy was just made is simply seen a moment longer.
    if (m_stagedCount > 0 && slot != m_stagedFirst + m_stagedCount)
        sendStaged();
    if (m_stagedCount == 0)
        m_stagedFirst = slot;
    m_staged.insert(m_staged.end(), frame.constBits(), frame.constBits() + frame.sizeInBytes());
    ++m_stagedCount;
}

void X11FrameQueue::copyWhenDue(std::size_t slot, std::int64_t due, const QPoint& at)
{
    m_due[slot] = due;
    const xcb_sync_waitcondition_t when{
        {m_serverTime, XCB_SYNC_VALUETYPE_ABSOLUTE,
         {static_cast<std::int32_t>(due >> 32), static_cast<std::uint32_t>(due & 0xffffffff)},
         XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON},
        {0, 0}};
    xcb_sync_await(m_timed, 1, &when);
    xcb_copy_area(m_timed, m_ring, m_window, m_timedGc, 0, static_cast<std::int16_t>(slotTop(slot)),
                  static_cast<std::int16_t>(at.x()), static_cast<std::int16_t>(at.y()),
                  static_cast<std::uint16_t>(m_width), static_cast<std::uint16_t>(m_height));
}

void X11FrameQueue::flush()
{
    sendStaged();
    // Pixels first: a copy must not reach the server before its frame.
    xcb_flush(m_app);
    if (!m_timed)
        return;
    xcb_flush(m_timed);
    // Errors from copies whose window went meanwhile, read a batch at a time.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_timed))
        std::free(event);
}

void X11FrameQueue::sendStaged()
{
    if (m_stagedCount == 0)
        return;
    const std::size_t frameBytes = m_staged.size() / m_stagedCount;
    const std::size_t limit = x11::maxPutImageBytes(m_app);
    const std::size_t perRequest = std::max<std::size_t>(1, limit / frameBytes);
    for (std::size_t done = 0; done < m_stagedCount;) {
        const std::size_t count = std::min(perRequest, m_stagedCount - done);
        x11::putPixels(m_app, m_ring, m_appGc, m_width, static_cast<int>(count) * m_height, 0,
                       slotTop(m_stagedFirst + done), m_staged.data() + done * frameBytes);
        done += count;
    }
    m_staged.clear();
    m_stagedCount = 0;
}

void X11FrameQueue::cancel()
{
    m_staged.clear();
    m_stagedCount = 0;
    if (!qGuiApp) {
        // Past the application's end its connection is gone; so is the
        // window the frames were for.
        m_ring = XCB_NONE;
        closeTimedConnection();
        return;
    }
    // The ring goes through the application's connection: anything it
    // draws later comes after that, so no waiting copy can cover it.
    dropRing();
    closeTimedConnection();
    xcb_flush(m_app);
}

bool X11FrameQueue::openTimedConnection()
{
    if (m_unavailable)
        return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    bool ready = c && !xcb_connection_has_error(c);
    if (ready) {
        const xcb_query_extension_reply_t* sync = xcb_get_extension_data(c, &xcb_sync_id);
        const x11::Reply<xcb_sync_initialize_reply_t> version(
            sync && sync->present
                ? xcb_sync_initialize_reply(c, xcb_sync_initialize(c, XCB_SYNC_MAJOR_VERSION, XCB_SYNC_MINOR_VERSION),
                                            nullptr)
                : nullptr);
        ready = bool(version);
    }
    // The same server as the application's: it sees the window alike.
    if (ready) {
        const x11::Reply<xcb_get_geometry_reply_t> ours(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, m_window), nullptr));
        const x11::Reply<xcb_get_geometry_reply_t> app(
            xcb_get_geometry_reply(m_app, xcb_get_geometry(m_app, m_window), nullptr));
        ready = ours && app && ours->root == app->root && ours->width == app->width && ours->height == app->height
                && ours->depth == app->depth;
    }
    m_serverTime = ready ? findServerTime(c) : xcb_sync_counter_t(XCB_NONE);
    if (m_serverTime == XCB_NONE) {
        if (c)
            xcb_disconnect(c);
        m_unavailable = true;
        return false;
    }
    const double before = Clock::current().now();
    const x11::Reply<xcb_sync_query_counter_reply_t> time(
        xcb_sync_query_counter_reply(c, xcb_sync_query_counter(c, m_serverTime), nullptr));
    const double after = Clock::current().now();
    if (!time) {
        xcb_disconnect(c);
        m_unavailable = true;
        return false;
    }
    const std::int64_t server
        = (std::int64_t(time->counter_value.hi) << 32) | std::int64_t(time->counter_value.lo);
    m_offset = server - std::llround((before + after) * 500.0);
    m_timed = c;
    m_timedGc = x11::createQuietGc(c, m_window);
    return true;
}

void X11FrameQueue::closeTimedConnection()
{
    // Waiting copies go with the connection, and with them the waits that
    // would hold back the next frames.
    if (m_timed)
        xcb_disconnect(m_timed);
    m_timed = nullptr;
    m_timedGc = XCB_NONE;
}

void X11FrameQueue::makeRing()
{
    m_ring = xcb_generate_id(m_app);
    xcb_create_pixmap(m_app, 24, m_ring, m_window, static_cast<std::uint16_t>(m_width),
                      static_cast<std::uint16_t>(std::size_t(m_height) * kSlots));
    m_due.assign(kSlots, 0);
    m_nextSlot = 0;
    // Made before any copy on the other connection can name it.
    std::free(xcb_get_input_focus_reply(m_app, xcb_get_input_focus(m_app), nullptr));
}

void X11FrameQueue::dropRing()
{
    if (m_ring != XCB_NONE)
        xcb_free_pixmap(m_app, m_ring);
    m_ring = XCB_NONE;
}

std::int64_t X11FrameQueue::serverNow() const
{
    return std::llround(Clock::current().now() * 1000.0) + m_offset;
}

} // namespace kit
