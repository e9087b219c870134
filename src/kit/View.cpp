#include "kit/View.h"

#include "kit/FrameQueue.h"
#include "kit/GraphicsContext.h"
#include "kit/Image.h"
#include "kit/RunLoop.h"
#include "kit/WaylandStrip.h"
#include "kit/X11ImageSender.h"

#include <QBackingStore>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>
#include <cmath>

namespace kit {

// The widget that shows a view: it turns Qt's paint and mouse events into the
// view's calls.
class ViewWidget final : public QWidget {
public:
    explicit ViewWidget(View* view)
        : m_view(view)
    {
    }

    View* view() const { return m_view; }
    void detach() { m_view = nullptr; }
    // A view may be discarded by its own event handler (a click that rebuilds
    // the status item); its widget then goes once the event is over.
    bool isDelivering() const { return m_delivering > 0; }

    static View* viewOf(QWidget* widget)
    {
        auto* vw = dynamic_cast<ViewWidget*>(widget);
        return vw ? vw->m_view : nullptr;
    }

    // Draws the view with `painter` at the widget's top left, set up as a
    // painter begun on the widget would be. A frame drawn ahead leaves the
    // view's request for a redraw as it was.
    void paintView(QPainter& painter, bool ahead = false)
    {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        GraphicsContext::flip(painter, height());
        GraphicsContext context(painter);
        if (ahead)
            m_view->drawRect(m_view->bounds());
        else
            m_view->paintInto(m_view->bounds());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_view)
            return;
        {
            QPainter painter(this);
            paintView(painter);
        }
        m_view->viewDidDisplay();
    }

    void mousePressEvent(QMouseEvent* event) override { deliver(event, &View::mouseDown); }
    void mouseReleaseEvent(QMouseEvent* event) override { deliver(event, &View::mouseUp); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { deliver(event, &View::mouseDown); }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_view)
            m_view->trackPointer(toView(event->position()), true);
        QWidget::mouseMoveEvent(event);
    }

    void enterEvent(QEnterEvent* event) override
    {
        if (m_view)
            m_view->trackPointer(toView(event->position()), true);
    }

    void leaveEvent(QEvent*) override
    {
        if (m_view)
            m_view->trackPointer(Point{}, false);
    }

    void resizeEvent(QResizeEvent*) override
    {
        if (!m_view)
            return;
        // A layout may size the widget; the view's frame follows it.
        Size& size = m_view->m_frame.size;
        if (std::lround(size.width) != width())
            size.width = width();
        if (std::lround(size.height) != height())
            size.height = height();
        // Subviews keep their distance from the bottom edge.
        for (QObject* child : children()) {
            if (View* sub = viewOf(qobject_cast<QWidget*>(child)))
                sub->placeWidget();
        }
    }

    bool event(QEvent* event) override
    {
        if (m_view && (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)) {
            if (event->type() == QEvent::ParentChange)
                m_view->placeWidget();
            const QWidget* top = parentWidget() ? window() : nullptr;
            if (event->type() == QEvent::Show)
                top = window();
            if (top != m_view->m_lastWindow) {
                m_view->m_lastWindow = top;
                if (top)
                    m_view->viewDidMoveToWindow();
            }
        }
        return QWidget::event(event);
    }

private:
    Point toView(QPointF p) const { return Point{p.x(), height() - p.y()}; }

    void deliver(QMouseEvent* event, void (View::*handler)(const Event&))
    {
        if (!m_view) {
            event->ignore();
            return;
        }
        Event e;
        e.locationInView = toView(event->position());
        e.clickCount = event->type() == QEvent::MouseButtonDblClick ? 2 : 1;
        m_view->m_passedOn = false;
        ++m_delivering;
        (m_view->*handler)(e);
        --m_delivering;
        if (m_view && m_view->m_passedOn)
            event->ignore();
        else
            event->accept();
    }

    View* m_view;
    int m_delivering = 0;
};

namespace {
// Views to draw at the end of the current pass over due timers.
std::vector<QPointer<ViewWidget>> g_toPresent;
int g_presentObserver = 0;
} // namespace

struct View::Handle {
    QPointer<ViewWidget> widget;

    // Frames queued ahead, and where they land.
    std::unique_ptr<FrameQueue> frameQueue;
    bool noFrameQueue = false; // the display has none
    bool framesQueued = false;
    QPointer<QWindow> queueWindow;
    QRect queueArea;
    QImage frame; // drawn into, kept to spare an allocation a frame
    bool frameQueued = false; // `frame` holds the frame queued last
};

namespace {
// Where a view drawn straight into its window's backing store is, when it is
// on screen as a whole.
struct Placement {
    QWidget* top = nullptr;
    QBackingStore* store = nullptr;
    QWindow* window = nullptr;
    QRect area; // in the window's device pixels
};

std::optional<Placement> placementOf(QWidget* widget)
{
    if (!widget || !widget->isVisible())
        return std::nullopt;
    Placement p;
    p.top = widget->window();
    p.store = p.top->backingStore();
    p.window = p.top->windowHandle();
    if (!p.store || !p.window || !p.window->isExposed() || p.store->size() != p.top->size())
        return std::nullopt;
    p.area = QRect(widget->mapTo(p.top, QPoint(0, 0)), widget->size());
    return p;
}

// Draws the widget again where Qt's paint pass does not reach: on a Wayland
// panel. False elsewhere.
bool redrawOnPanel(QWidget* widget)
{
    const QWidget* top = widget->window();
    WaylandStrip* panel = WaylandStrip::showing(top);
    if (!panel)
        return false;
    panel->redraw(QRect(widget->mapTo(top, QPoint(0, 0)), widget->size()));
    return true;
}

// The backing store's pixels, when they are an image at one pixel a point.
const QImage* storeImage(QBackingStore* store)
{
    const QPaintDevice* device = store->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    const auto* image = static_cast<const QImage*>(device);
    return image->devicePixelRatio() == 1.0 ? image : nullptr;
}
} // namespace

View::View(Rect frame)
    : m_frame(frame)
    , m_handle(std::make_unique<Handle>())
{
    m_handle->widget = new ViewWidget(this);
    m_handle->widget->setAttribute(Qt::WA_NoSystemBackground);
    placeWidget();
}

View::~View()
{
    cancelQueuedFrames();
    if (ViewWidget* widget = m_handle->widget.data()) {
        widget->detach();
        // Subviews' widgets go with this one; their views stay, widgetless.
        if (widget->isDelivering()) {
            widget->hide();
            widget->deleteLater();
        } else {
            delete widget;
        }
    }
}

QWidget* View::widget() const
{
    return m_handle->widget.data();
}

void View::placeWidget()
{
    QWidget* widget = m_handle->widget.data();
    if (!widget)
        return;
    const int w = static_cast<int>(std::lround(std::max(0.0, m_frame.width())));
    const int h = static_cast<int>(std::lround(std::max(0.0, m_frame.height())));
    if (QWidget* parent = widget->parentWidget()) {
        const int x = static_cast<int>(std::lround(m_frame.x()));
        const int top = static_cast<int>(std::lround(parent->height() - m_frame.maxY()));
        widget->setGeometry(x, top, w, h);
    } else {
        // A top-level widget's place on screen belongs to its window.
        widget->resize(w, h);
    }
    // Subviews keep their distance from the bottom edge. (Qt holds a hidden
    // widget's resize event back, so this cannot wait for it.)
    for (QObject* child : widget->children()) {
        if (View* sub = ViewWidget::viewOf(qobject_cast<QWidget*>(child)))
            sub->placeWidget();
    }
}

void View::setFrame(Rect frame)
{
    const bool resized = frame.size != m_frame.size;
    m_frame = frame;
    placeWidget();
    if (resized)
        viewDidResize();
}

void View::setFrameSize(Size size)
{
    setFrame(Rect(m_frame.origin, size));
}

View* View::superview() const
{
    QWidget* widget = m_handle->widget.data();
    return widget ? ViewWidget::viewOf(widget->parentWidget()) : nullptr;
}

void View::addSubview(View* view)
{
    QWidget* mine = widget();
    QWidget* theirs = view ? view->widget() : nullptr;
    if (!mine || !theirs || view == this)
        return;
    theirs->setParent(mine);
    view->placeWidget();
    theirs->show();
}

void View::removeFromSuperview()
{
    if (QWidget* widget = m_handle->widget.data(); widget && widget->parentWidget()) {
        widget->hide();
        widget->setParent(nullptr);
    }
}

bool View::isWindowVisible() const
{
    const QWidget* widget = m_handle->widget.data();
    return widget && widget->window()->isVisible();
}

void View::setNeedsDisplay(bool flag)
{
    m_needsDisplay = flag;
    if (!flag)
        return;
    QWidget* widget = m_handle->widget.data();
    if (!widget)
        return;
    if (!m_backdrop) {
        if (!redrawOnPanel(widget))
            widget->update();
        return;
    }
    // Drawn once the current work is done, however many requests came.
    if (m_presentPending)
        return;
    m_presentPending = true;
    // Through the widget: a view discarded meanwhile has detached it.
    auto* shown = static_cast<ViewWidget*>(widget);
    RunLoop& loop = RunLoop::main();
    if (!loop.isInPass()) {
        QMetaObject::invokeMethod(
            shown, [shown] { if (View* view = shown->view()) view->present(); }, Qt::QueuedConnection);
        return;
    }
    // A request from a timer (or an observer) is drawn as the pass ends,
    // with no event to post and no second wake-up.
    g_toPresent.emplace_back(shown);
    if (!g_presentObserver) {
        // Called as each pass begins and ends, after the other observers:
        // a pass never finds its own timers' requests before its end.
        g_presentObserver = loop.addObserver(
            [] {
                const auto batch = std::exchange(g_toPresent, {});
                for (const auto& shown : batch) {
                    if (shown && shown->view())
                        shown->view()->present();
                }
            },
            true);
    }
}

void View::setBackdrop(Backdrop backdrop)
{
    m_backdrop = std::move(backdrop);
}

void View::present()
{
    m_presentPending = false;
    auto* widget = static_cast<ViewWidget*>(m_handle->widget.data());
    if (!m_needsDisplay || !widget)
        return; // drawn meanwhile
    const std::optional<Placement> place = m_backdrop ? placementOf(widget) : std::nullopt;
    if (!place) {
        // Not on screen as a whole: the widget pass draws it when it shows.
        if (!redrawOnPanel(widget))
            widget->update();
        return;
    }
    // What the widget pass would do for this one widget, minus the events:
    // the window's pixels beneath, then the view, into the backing store,
    // and only this rectangle sent to the screen.
    const QRegion region(place->area);
    place->store->beginPaint(region);
    {
        QPainter painter(place->store->paintDevice());
        painter.setClipRect(place->area);
        m_backdrop(painter, place->top->size());
        painter.translate(place->area.topLeft());
        // The widget's pen, brush and font are left out: kit drawing sets
        // its own for every stroke, fill and string.
        widget->paintView(painter);
    }
    place->store->endPaint();
    // The backing store keeps these pixels for Qt's own flushes (an expose);
    // the frame itself goes to the window in one request where it can.
    const QImage* image = storeImage(place->store);
    if (!image || !X11ImageSender::send(place->window, *image, place->area))
        place->store->flush(region, place->window);
    viewDidDisplay();
}

bool View::canQueueFrames()
{
    const std::optional<Placement> place = m_backdrop ? placementOf(m_handle->widget.data()) : std::nullopt;
    return place && frameQueueTakes(place->store, place->window);
}

bool View::frameQueueTakes(QBackingStore* store, QWindow* window)
{
    Handle& h = *m_handle;
    if (h.noFrameQueue || !storeImage(store))
        return false;
    if (!h.frameQueue) {
        h.frameQueue = FrameQueue::create();
        h.noFrameQueue = !h.frameQueue;
        if (!h.frameQueue)
            return false;
    }
    return h.frameQueue->accepts(window);
}

bool View::queueFrame(double date)
{
    return queueFrame(date, bounds());
}

bool View::queueFrame(double date, Rect changed)
{
    Handle& h = *m_handle;
    auto* widget = static_cast<ViewWidget*>(h.widget.data());
    const std::optional<Placement> placed = m_backdrop ? placementOf(widget) : std::nullopt;
    if (!placed || !frameQueueTakes(placed->store, placed->window))
        return false;
    const Placement& place = *placed;
    if (h.framesQueued && !queuedFramesInPlace())
        cancelQueuedFrames();
    // Drawn as `present` draws into the backing store, into an image of the
    // view's own size and the store's format: the same pixels.
    const QImage::Format format = storeImage(place.store)->format();
    QRect redrawn = place.area;
    if (h.frame.size() != place.area.size() || h.frame.format() != format || !h.frameQueued) {
        h.frame = QImage(place.area.size(), format);
    } else {
        // Whole device pixels around the change, from the top left.
        const double top = m_frame.height() - changed.maxY();
        const QRect part(static_cast<int>(std::floor(changed.x())), static_cast<int>(std::floor(top)),
                         static_cast<int>(std::ceil(changed.maxX())) - static_cast<int>(std::floor(changed.x())),
                         static_cast<int>(std::ceil(top + changed.height())) - static_cast<int>(std::floor(top)));
        redrawn = part.translated(place.area.topLeft()).intersected(place.area);
    }
    h.frameQueued = false;
    {
        QPainter painter(&h.frame);
        painter.translate(-place.area.topLeft());
        painter.setClipRect(redrawn);
        m_backdrop(painter, place.top->size());
        painter.translate(place.area.topLeft());
        widget->paintView(painter, true);
    }
    if (!h.frameQueue->queue(place.window, h.frame, place.area.topLeft(), date))
        return false;
    h.frameQueued = true;
    h.framesQueued = true;
    h.queueWindow = place.window;
    h.queueArea = place.area;
    return true;
}

void View::flushQueuedFrames()
{
    if (m_handle->frameQueue)
        m_handle->frameQueue->flush();
}

bool View::queuedFramesInPlace() const
{
    const Handle& h = *m_handle;
    if (!h.framesQueued)
        return false;
    const std::optional<Placement> place = placementOf(h.widget.data());
    return place && place->window == h.queueWindow.data() && place->area == h.queueArea;
}

void View::cancelQueuedFrames()
{
    Handle& h = *m_handle;
    if (h.frameQueue && h.framesQueued)
        h.frameQueue->cancel();
    h.framesQueued = false;
}

void View::display()
{
    // Drawn now, out of turn: frames queued ahead were drawn without it.
    cancelQueuedFrames();
    QWidget* widget = m_handle->widget.data();
    if (widget && widget->isVisible() && !redrawOnPanel(widget))
        widget->repaint();
}

void View::drawRect(Rect)
{
}

void View::paintInto(Rect dirty)
{
    m_needsDisplay = false;
    drawRect(dirty);
}

void View::mouseDown(const Event& event)
{
    if (View* next = superview())
        next->mouseDown(event);
    else
        m_passedOn = true;
}

void View::mouseUp(const Event& event)
{
    if (View* next = superview())
        next->mouseUp(event);
    else
        m_passedOn = true;
}

void View::mouseEntered(const Event&)
{
}

void View::mouseExited(const Event&)
{
}

int View::addTrackingRect(Rect rect)
{
    const int tag = m_nextTrackingTag++;
    m_trackingRects.push_back({tag, rect, false});
    if (QWidget* widget = m_handle->widget.data())
        widget->setMouseTracking(true);
    return tag;
}

void View::removeTrackingRect(int tag)
{
    std::erase_if(m_trackingRects, [tag](const TrackingRect& t) { return t.tag == tag; });
}

void View::trackPointer(Point location, bool present)
{
    // Collect first: a handler may add or remove tracking rectangles.
    std::vector<std::pair<bool, Event>> calls;
    for (TrackingRect& t : m_trackingRects) {
        const bool inside = present && t.rect.contains(location);
        if (inside != t.inside) {
            t.inside = inside;
            calls.push_back({inside, Event{location, 0}});
        }
    }
    for (const auto& [entered, event] : calls) {
        if (entered)
            mouseEntered(event);
        else
            mouseExited(event);
    }
}

double View::backingScaleFactor() const
{
    const QWidget* widget = m_handle->widget.data();
    if (!widget)
        return 1.0;
    if (const WaylandStrip* panel = WaylandStrip::showing(widget->window()))
        return panel->scale();
    return widget->devicePixelRatioF();
}

std::unique_ptr<Image> View::renderedImage(double scale)
{
    auto image = std::make_unique<Image>(bounds().size, scale);
    image->lockFocus();
    paintInto(bounds());
    renderSubviews();
    image->unlockFocus();
    return image;
}

void View::renderSubviews()
{
    QWidget* widget = m_handle->widget.data();
    GraphicsContext* context = GraphicsContext::current();
    if (!widget || !context)
        return;
    for (QObject* child : widget->children()) {
        auto* childWidget = qobject_cast<QWidget*>(child);
        View* sub = ViewWidget::viewOf(childWidget);
        if (!sub || childWidget->isHidden())
            continue;
        QPainter& painter = context->painter();
        const QTransform saved = painter.worldTransform();
        painter.translate(sub->m_frame.x(), sub->m_frame.y());
        sub->paintInto(sub->bounds());
        sub->renderSubviews();
        painter.setWorldTransform(saved);
    }
}

} // namespace kit
