#pragma once

#include "kit/Event.h"
#include "kit/Geometry.h"

#include <functional>
#include <memory>
#include <vector>

class QBackingStore;
class QPainter;
class QSize;
class QWidget;
class QWindow;

namespace kit {

class Image;
class ViewWidget;

// The base of every drawn view. Geometry is in points with the origin at the
// bottom left and y pointing up, both for the frame (in the superview's
// coordinates) and inside the view. Drawing happens in `drawRect`, in a
// context that `Color::set`, `NSRectFill`, images and paths draw into.
//
// A view owns its widget. The widget may also be destroyed first, with a Qt
// parent; the view then stays usable but shows nothing.
class View {
public:
    explicit View(Rect frame);
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Rect frame() const { return m_frame; }
    void setFrame(Rect frame);
    void setFrameSize(Size size);
    Rect bounds() const { return Rect(Point{}, m_frame.size); }

    // The view whose widget holds this one's, if it is a view.
    View* superview() const;
    void addSubview(View* view);
    void removeFromSuperview();

    // Is the top-level window that holds the view on screen?
    bool isWindowVisible() const;

    // Asks for a redraw in the next display pass.
    void setNeedsDisplay(bool flag);
    bool needsDisplay() const { return m_needsDisplay; }
    // Redraws at once when the view is on screen.
    void display();

    // Paints the view. `dirty` is the area that needs it.
    virtual void drawRect(Rect dirty);
    virtual bool isOpaque() const { return false; }
    // Called each time the view comes to be held by another window.
    virtual void viewDidMoveToWindow() {}
    // Called after the view was drawn on screen (not into an image).
    virtual void viewDidDisplay() {}
    // Called when `setFrame` changed the view's size.
    virtual void viewDidResize() {}

    // The base class passes clicks on to the superview, or to the widget
    // beneath when there is none.
    virtual void mouseDown(const Event& event);
    virtual void mouseUp(const Event& event);
    // For the rectangles registered with `addTrackingRect`.
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);

    // Watches the pointer entering and leaving `rect` (view coordinates);
    // returns the rectangle's tag.
    int addTrackingRect(Rect rect);
    void removeTrackingRect(int tag);

    // Device pixels per point where the view is shown.
    virtual double backingScaleFactor() const;

    // The view and its subviews drawn off screen into a new image with
    // `scale` device pixels per point.
    std::unique_ptr<Image> renderedImage(double scale = 1.0);

    // Kit-internal: the widget that shows the view (null once destroyed).
    QWidget* widget() const;

    // Kit-internal: paints what lies beneath the view in its window, in the
    // window's coordinates (top left, y down) on a painter clipped to the
    // view. A holder that can say this lets the view be drawn straight into
    // its window's backing store and sent to the screen on a redraw request,
    // without the widget paint pass. An empty backdrop restores that pass.
    using Backdrop = std::function<void(QPainter& painter, const QSize& windowSize)>;
    void setBackdrop(Backdrop backdrop);

    // Frames drawn ahead, for a view drawn straight into its window: the view
    // as it stands is drawn now into a frame that the display server puts on
    // screen when the clock reads `date`, with nothing to do here then. A
    // frame queued before for the same date is replaced. False when frames
    // cannot be queued (no backdrop, not on screen, no queue on this
    // display); the owner then draws each frame in its time.
    bool queueFrame(double date);
    // The same, for a frame that differs from the one queued just before only
    // inside `changed` (view coordinates): the rest is kept, not drawn again.
    bool queueFrame(double date, Rect changed);
    // Sends the frames queued since the last call to the display server.
    void flushQueuedFrames();
    // Whether frames can be queued for the view where it is now.
    bool canQueueFrames();
    // Whether frames were queued and still land where the view is.
    bool queuedFramesInPlace() const;
    // Drops the queued frames not yet on screen; what is drawn afterwards
    // is never covered by one of them.
    void cancelQueuedFrames();

private:
    friend class ViewWidget;
    struct TrackingRect {
        int tag;
        Rect rect;
        bool inside;
    };

    void placeWidget();
    // Whether the view's frame queue takes frames for this window and store.
    bool frameQueueTakes(QBackingStore* store, QWindow* window);
    void paintInto(Rect dirty);
    void present();
    void renderSubviews();
    void trackPointer(Point location, bool present);

    Rect m_frame;
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    bool m_needsDisplay = false;
    bool m_presentPending = false;
    Backdrop m_backdrop;
    bool m_passedOn = false;
    std::vector<TrackingRect> m_trackingRects;
    int m_nextTrackingTag = 1;
    const QWidget* m_lastWindow = nullptr;
};

} // namespace kit
