#pragma once

#include "kit/FrameQueue.h"

#include <xcb/sync.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace kit {

// Queued frames on an X server, through the SYNC extension. Each frame's
// pixels go into a slot of a ring (one tall server pixmap, a frame high a
// slot); a copy from the slot to the window then waits on the server's own
// clock (the SERVERTIME counter) for the frame's date. A wait stalls every
// later request of the connection that makes it, so the waits and copies go
// on a second connection of the queue's own, while the pixels go on the
// application's, which never waits. Pixels of frames in neighbouring slots
// go in one request at `flush`: on this path a system call costs more than
// drawing a frame.
class X11FrameQueue final : public FrameQueue {
public:
    // Null unless the application runs on X11.
    static std::unique_ptr<X11FrameQueue> create();
    ~X11FrameQueue() override;

    bool accepts(QWindow* window) override;
    bool queue(QWindow* window, const QImage& frame, const QPoint& at, double date) override;
    void flush() override;
    void cancel() override;

private:
    explicit X11FrameQueue(xcb_connection_t* application);

    // The frame can go through this queue to the window, and the queue is
    // set up for frames of its size.
    bool readyFor(QWindow* window, const QImage& frame);
    // The slot whose frame waits for `due`, if any.
    std::optional<std::size_t> slotDueAt(std::int64_t due) const;
    // The next slot in turn, unless its frame may still be waiting at `now`.
    std::optional<std::size_t> takeSlot(std::int64_t now);
    // Where the slot starts in the ring.
    int slotTop(std::size_t slot) const;
    // The frame's pixels into its slot: on the timed connection, or staged
    // for the application's.
    void sendInLine(std::size_t slot, const QImage& frame);
    void stage(std::size_t slot, const QImage& frame);
    // The copy from the slot to the window, held back until `due`.
    void copyWhenDue(std::size_t slot, std::int64_t due, const QPoint& at);

    bool openTimedConnection();
    void closeTimedConnection();
    void makeRing();
    void dropRing();
    // Sends the pixels staged for a run of neighbouring slots.
    void sendStaged();
    // The server's clock now, as read off ours.
    std::int64_t serverNow() const;

    xcb_connection_t* m_app;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    bool m_takesPixels = false;
    xcb_gcontext_t m_appGc = XCB_NONE;
    int m_width = 0;
    int m_height = 0;

    xcb_pixmap_t m_ring = XCB_NONE;
    // When each slot's frame is due, on the server's clock in milliseconds;
    // 0 for a slot never used.
    std::vector<std::int64_t> m_due;
    std::size_t m_nextSlot = 0;
    // Pixels not yet sent, for the slots from `m_stagedFirst` on.
    std::vector<std::uint8_t> m_staged;
    std::size_t m_stagedFirst = 0;
    std::size_t m_stagedCount = 0;

    xcb_connection_t* m_timed = nullptr;
    xcb_gcontext_t m_timedGc = XCB_NONE;
    xcb_sync_counter_t m_serverTime = XCB_NONE;
    std::int64_t m_offset = 0; // the server's milliseconds minus the clock's
    bool m_unavailable = false; // the server lacks what it takes: not asked again
};

} // namespace kit
