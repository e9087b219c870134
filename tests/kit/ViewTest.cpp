// Views on Qt widgets: geometry with the origin at the bottom left, painting
// through the widget, mouse delivery, tracking rectangles and lifetimes.
#include "kit/Color.h"
#include "kit/Graphics.h"
#include "kit/Image.h"
#include "kit/View.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kit;

namespace {

// Paints a red square at its bottom-left corner and records what it gets.
class ProbeView : public View {
public:
    using View::View;
    void drawRect(Rect) override
    {
        ++draws;
        Color::redColor().set();
        NSRectFill(Rect(0, 0, 2, 2));
    }
    void mouseDown(const Event& e) override
    {
        log.push_back("down");
        where = e.locationInView;
        if (passOn)
            View::mouseDown(e);
    }
    void mouseUp(const Event& e) override
    {
        log.push_back("up");
        View::mouseUp(e);
    }
    void mouseEntered(const Event&) override { log.push_back("entered"); }
    void mouseExited(const Event&) override { log.push_back("exited"); }
    void viewDidMoveToWindow() override { ++moves; }

    int draws = 0;
    int moves = 0;
    bool passOn = false;
    Point where;
    std::vector<std::string> log;
};

// Shows the widget and lets the platform put it on screen.
void showNow(QWidget* widget)
{
    widget->show();
    for (int i = 0; i < 100 && !(widget->windowHandle() && widget->windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void send(QWidget* widget, QEvent::Type type, QPointF at)
{
    testing_support::sendMouse(widget, type, at);
}

class ViewTest : public testing_support::KitTest {};

TEST_F(ViewTest, FrameIsInTheSuperviewsBottomLeftCoordinates)
{
    ProbeView parent(Rect(0, 0, 100, 50));
    ProbeView child(Rect(10, 5, 20, 10));
    parent.addSubview(&child);
    EXPECT_EQ(child.superview(), &parent);
    EXPECT_EQ(child.widget()->geometry(), QRect(10, 35, 20, 10));
    EXPECT_EQ(child.bounds(), Rect(0, 0, 20, 10));

    child.setFrame(Rect(0, 0, 30, 12));
    EXPECT_EQ(child.widget()->geometry(), QRect(0, 38, 30, 12));
    // The child keeps its distance from the bottom when the parent grows.
    parent.setFrameSize({100, 80});
    EXPECT_EQ(child.widget()->geometry(), QRect(0, 68, 30, 12));

    child.removeFromSuperview();
    EXPECT_EQ(child.superview(), nullptr);
}

TEST_F(ViewTest, WidgetPaintingIsFlippedSoTheOriginIsBottomLeft)
{
    ProbeView view(Rect(0, 0, 8, 6));
    view.widget()->show();
    const QImage shot = view.widget()->grab().toImage();
    ASSERT_EQ(shot.height(), 6);
    EXPECT_EQ(shot.pixelColor(0, 5), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(1, 4), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_NE(shot.pixelColor(2, 5), QColor(Qt::red));
}

TEST_F(ViewTest, RenderedImageIncludesSubviewsAtTheirFrames)
{
    ProbeView parent(Rect(0, 0, 20, 10));
    ProbeView child(Rect(10, 4, 4, 4));
    parent.addSubview(&child);
    auto image = parent.renderedImage();
    EXPECT_EQ(image->colorAtPixel(0, 0), Color::redColor());
    EXPECT_EQ(image->colorAtPixel(11, 5), Color::redColor());
    EXPECT_EQ(image->colorAtPixel(12, 6).alphaComponent(), 0.0);
    EXPECT_EQ(image->colorAtPixel(9, 4).alphaComponent(), 0.0);

    auto dense = parent.renderedImage(2.0);
    EXPECT_EQ(dense->pixelsWide(), 40);
    EXPECT_EQ(dense->colorAtPixel(23, 11), Color::redColor());
}

TEST_F(ViewTest, NeedsDisplayAndDisplay)
{
    ProbeView view(Rect(0, 0, 10, 10));
    EXPECT_FALSE(view.needsDisplay());
    view.setNeedsDisplay(true);
    EXPECT_TRUE(view.needsDisplay());
    view.display(); // not on screen: nothing is drawn
    EXPECT_EQ(view.draws, 0);

    showNow(view.widget());
    const int before = view.draws;
    view.display();
    EXPECT_EQ(view.draws, before + 1);
    EXPECT_FALSE(view.needsDisplay());
    EXPECT_TRUE(view.isWindowVisible());
}

TEST_F(ViewTest, ClicksArriveInViewCoordinatesAndPassToTheSuperview)
{
    ProbeView parent(Rect(0, 0, 100, 50));
    ProbeView child(Rect(10, 5, 20, 10));
    parent.addSubview(&child);

    send(child.widget(), QEvent::MouseButtonPress, QPointF(3, 2));
    EXPECT_EQ(child.where, (Point{3, 8}));
    EXPECT_EQ(parent.log, std::vector<std::string>{});

    child.passOn = true;
    send(child.widget(), QEvent::MouseButtonPress, QPointF(3, 2));
    send(child.widget(), QEvent::MouseButtonRelease, QPointF(3, 2));
    EXPECT_EQ(parent.log, (std::vector<std::string>{"down", "up"}));
}

TEST_F(ViewTest, TrackingRectanglesReportEnteringAndLeaving)
{
    ProbeView view(Rect(0, 0, 100, 20));
    view.addTrackingRect(Rect(0, 0, 50, 10)); // the lower left quarter
    QWidget* w = view.widget();
    send(w, QEvent::MouseMove, QPointF(70, 15)); // outside
    send(w, QEvent::MouseMove, QPointF(20, 15)); // inside: y 5 from the bottom
    send(w, QEvent::MouseMove, QPointF(30, 12));
    send(w, QEvent::MouseMove, QPointF(30, 5));  // above the rectangle
    send(w, QEvent::MouseMove, QPointF(10, 18));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
    EXPECT_EQ(view.log, (std::vector<std::string>{"entered", "exited", "entered", "exited"}));
}

TEST_F(ViewTest, MovingToAWindowIsReported)
{
    ProbeView parent(Rect(0, 0, 100, 50));
    ProbeView child(Rect(0, 0, 10, 10));
    parent.addSubview(&child);
    EXPECT_EQ(child.moves, 1);
    parent.widget()->show();
    EXPECT_EQ(child.moves, 1) << "same window";
    QWidget other;
    child.widget()->setParent(&other);
    EXPECT_EQ(child.moves, 2);
}

TEST_F(ViewTest, EitherDestructionOrderIsSafe)
{
    {
        auto parent = std::make_unique<ProbeView>(Rect(0, 0, 50, 50));
        ProbeView child(Rect(0, 0, 10, 10));
        parent->addSubview(&child);
        parent.reset(); // takes the child's widget with it
        EXPECT_EQ(child.widget(), nullptr);
        EXPECT_EQ(child.superview(), nullptr);
        child.setNeedsDisplay(true);
        child.display();
        child.setFrame(Rect(0, 0, 5, 5));
        EXPECT_EQ(child.frame(), Rect(0, 0, 5, 5));
        EXPECT_EQ(child.renderedImage()->colorAtPixel(0, 0), Color::redColor());
    }
    {
        auto host = std::make_unique<QWidget>();
        ProbeView view(Rect(0, 0, 10, 10));
        view.widget()->setParent(host.get());
        host.reset();
        EXPECT_EQ(view.widget(), nullptr);
    }
    {
        auto view = std::make_unique<ProbeView>(Rect(0, 0, 10, 10));
        QWidget host;
        view->widget()->setParent(&host);
        view.reset();
        EXPECT_TRUE(host.findChildren<QWidget*>().isEmpty());
    }
}

// A view whose click handler discards the view itself, as a click that
// rebuilds the status item does.
class SelfDiscardingView : public View {
public:
    SelfDiscardingView(Rect frame, std::unique_ptr<View>& slot)
        : View(frame)
        , m_slot(slot)
    {
    }
    void mouseDown(const Event&) override { m_slot.reset(); }

private:
    std::unique_ptr<View>& m_slot;
};

TEST_F(ViewTest, AViewMayBeDiscardedByItsOwnClick)
{
    std::unique_ptr<View> slot;
    slot = std::make_unique<SelfDiscardingView>(Rect(0, 0, 10, 10), slot);
    QPointer<QWidget> widget = slot->widget();
    send(widget, QEvent::MouseButtonPress, QPointF(1, 1));
    EXPECT_EQ(slot, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
}

} // namespace
