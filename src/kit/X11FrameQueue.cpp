#include "kit/X11FrameQueue.h"

#include "kit/Clock.h"
#include "kit/X11Pixels.h"

#include <QGuiApplication>
#include <QImage>
#include <QPoint>
#include <QWindow>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kit {

namespace {

// Enough for half a second of frames ahead at 60 a second, plus those just
// shown whose copies the server may still be making.
constexpr std::size_t kSlots = 64;
// A slot is written again only this long after its frame was due.
constexpr std::int64_t kSettledMs = 250;
// A new frame due sooner than this sends its pixels in line with its copy,
// which could otherwise overtake them.
constexpr std::int64_t kOvertakeMs = 20;

template <typename Reply>
struct Freed {
    Reply* reply;
    ~Freed() { std::free(reply); }
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

// The SERVERTIME counter, read from the list of system counters by hand:
// each entry is padded to four bytes, which the generated iterator skips
// wrongly.
xcb_sync_counter_t findServerTime(xcb_connection_t* c)
{
    Freed<xcb_sync_list_system_counters_reply_t> list{
        xcb_sync_list_system_counters_reply(c, xcb_sync_list_system_counters(c), nullptr)};
    if (!list)
        return XCB_NONE;
    const auto* entry = reinterpret_cast<const std::uint8_t*>(list.reply + 1);
    const auto* end = reinterpret_cast<const std::uint8_t*>(list.reply) + 32 + std::size_t(list->length) * 4;
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
    if (m_unavailable || !window || !window->handle())
        return false;
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (id != m_window) {
        cancel();
        if (m_appGc != XCB_NONE)
            xcb_free_gc(m_app, m_appGc);
        m_appGc = XCB_NONE;
        m_window = id;
        m_takesPixels = x11::takesImagePixels(m_app, id);
        if (m_takesPixels) {
            m_appGc = xcb_generate_id(m_app);
            const std::uint32_t noExposures = 0;
            xcb_create_gc(m_app, m_appGc, id, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        }
    }
    return m_takesPixels;
}

bool X11FrameQueue::queue(QWindow* window, const QImage& frame, const QPoint& at, double date)
{
    if (frame.format() != QImage::Format_RGB32 && frame.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    if (frame.isNull() || !std::isfinite(date) || !accepts(window))
        return false;
    const std::size_t bytes = frame.sizeInBytes();
    if (bytes + 24 > std::size_t(xcb_get_maximum_request_length(m_app)) * 4
        || std::size_t(frame.bytesPerLine()) != std::size_t(frame.width()) * 4)
        return false;
    if (frame.width() != m_width || frame.height() != m_height) {
        cancel();
        m_width = frame.width();
        m_height = frame.height();
    }
    if (!m_timed && !openTimedConnection())
        return false;
    if (m_slots.empty())
        makeSlots();
    // Errors from copies whose window or pixmap went meanwhile.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_timed))
        std::free(event);

    const std::int64_t due = std::llround(date * 1000.0) + m_offset;
    const std::int64_t now = serverNow();
    Slot* slot = nullptr;
    for (Slot& s : m_slots) {
        if (s.due == due) {
            slot = &s;
            break;
        }
    }
    const bool fresh = slot == nullptr;
    if (fresh) {
        for (Slot& s : m_slots) {
            if (s.due < now - kSettledMs) {
                slot = &s;
                break;
            }
        }
        if (!slot)
            return false;
    }
    // A frame replaced while its copy waits shows the new pixels; one whose
    // copy was just made is simply seen a moment longer.
    const bool inLine = fresh && due - now < kOvertakeMs;
    xcb_connection_t* pixels = inLine ? m_timed : m_app;
    xcb_put_image(pixels, XCB_IMAGE_FORMAT_Z_PIXMAP, slot->pixmap, inLine ? m_timedGc : m_appGc,
                  static_cast<std::uint16_t>(m_width), static_cast<std::uint16_t>(m_height), 0, 0, 0, 24,
                  static_cast<std::uint32_t>(bytes), frame.constBits());
    xcb_flush(m_app);
    if (!fresh)
        return true;
    slot->due = due;
    const xcb_sync_waitcondition_t when{
        {m_serverTime, XCB_SYNC_VALUETYPE_ABSOLUTE,
         {static_cast<std::int32_t>(due >> 32), static_cast<std::uint32_t>(due & 0xffffffff)},
         XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON},
        {0, 0}};
    xcb_sync_await(m_timed, 1, &when);
    xcb_copy_area(m_timed, slot->pixmap, m_window, m_timedGc, 0, 0, static_cast<std::int16_t>(at.x()),
                  static_cast<std::int16_t>(at.y()), static_cast<std::uint16_t>(m_width),
                  static_cast<std::uint16_t>(m_height));
    xcb_flush(m_timed);
    return true;
}

void X11FrameQueue::cancel()
{
    if (!qGuiApp) {
        // Past the application's end its connection is gone; so is the
        // window the frames were for.
        m_slots.clear();
        closeTimedConnection();
        return;
    }
    // The pixmaps go through the application's connection: anything it
    // draws later comes after them, so no waiting copy can cover it.
    dropSlots();
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
        Freed<xcb_sync_initialize_reply_t> version{
            sync && sync->present
                ? xcb_sync_initialize_reply(c, xcb_sync_initialize(c, XCB_SYNC_MAJOR_VERSION, XCB_SYNC_MINOR_VERSION),
                                            nullptr)
                : nullptr};
        ready = bool(version);
    }
    // The same server as the application's: it sees the window alike.
    if (ready) {
        Freed<xcb_get_geometry_reply_t> ours{xcb_get_geometry_reply(c, xcb_get_geometry(c, m_window), nullptr)};
        Freed<xcb_get_geometry_reply_t> app{xcb_get_geometry_reply(m_app, xcb_get_geometry(m_app, m_window), nullptr)};
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
    Freed<xcb_sync_query_counter_reply_t> time{
        xcb_sync_query_counter_reply(c, xcb_sync_query_counter(c, m_serverTime), nullptr)};
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
    m_timedGc = xcb_generate_id(c);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(c, m_timedGc, m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
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

void X11FrameQueue::makeSlots()
{
    m_slots.resize(kSlots);
    for (Slot& slot : m_slots) {
        slot.pixmap = xcb_generate_id(m_app);
        slot.due = 0;
        xcb_create_pixmap(m_app, 24, slot.pixmap, m_window, static_cast<std::uint16_t>(m_width),
                          static_cast<std::uint16_t>(m_height));
    }
    // Made before any copy on the other connection can name them.
    std::free(xcb_get_input_focus_reply(m_app, xcb_get_input_focus(m_app), nullptr));
}

void X11FrameQueue::dropSlots()
{
    for (const Slot& slot : m_slots)
        xcb_free_pixmap(m_app, slot.pixmap);
    m_slots.clear();
}

std::int64_t X11FrameQueue::serverNow() const
{
    return std::llround(Clock::current().now() * 1000.0) + m_offset;
}

} // namespace kit
