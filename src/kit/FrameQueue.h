#pragma once

#include <functional>
#include <memory>

class QImage;
class QPoint;
class QWindow;

namespace kit {

// Frames drawn ahead of their time and put on screen by the display server
// when their dates come, so that a view moving steadily wakes the program a
// few times a second instead of for every frame. One queue serves one view.
class FrameQueue {
public:
    virtual ~FrameQueue() = default;

    // Whether frames for `window` can be queued at all.
    virtual bool accepts(QWindow* window) = 0;
    // Queues `frame` (in the window's own pixel format, as its backing store
    // holds it) to be put at `at` in `window` when the clock reads `date`. A
    // frame already waiting for the same date is replaced, so what is queued
    // can be drawn again after a change without disturbing the cadence.
    // False when it cannot be queued; nothing changed then. Frames reach the
    // server at `flush`.
    virtual bool queue(QWindow* window, const QImage& frame, const QPoint& at, double date) = 0;
    virtual void flush() = 0;
    // Drops every frame not yet shown: nothing drawn on the window from now
    // on is covered by one of them.
    virtual void cancel() = 0;

    using Factory = std::function<std::unique_ptr<FrameQueue>()>;
    // A new queue on the display server, or null where there is none.
    static std::unique_ptr<FrameQueue> create();
    // Makes `create` use `factory` (tests); an empty one restores the
    // display server's.
    static void setFactory(Factory factory);
};

} // namespace kit
