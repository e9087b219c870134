// The status-bar marquee's frames on screen: what the frame timer puts into
// the strip's backing store is, pixel for pixel, what the widget paint pass
// draws for the same state; identical frames are not drawn again; and the
// frame timer sleeps while nothing can move, then picks up where continuous
// ticking would be; and frames queued ahead with the display server show,
// tick for tick, what ticking would have drawn.
#include "kit/FrameQueue.h"
#include "kit/RunLoop.h"
#include "kit/StatusBar.h"
#include "kit/StatusItem.h"
#include "kit/Timer.h"
#include "support/TestEnvironment.h"
#include "zintara/TunesView.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

using kit::RunLoop;

namespace {

constexpr double kFrame = 1.0 / 30.0;
const char* kLongLine = "A line long enough to scroll past both ends of the marquee - Artist";

// Counts its draws, and notes when it was last drawn on screen.
class CountingTunesView : public TunesView {
public:
    using TunesView::TunesView;
    void drawRect(kit::Rect dirty) override
    {
        ++draws;
        TunesView::drawRect(dirty);
    }
    void viewDidDisplay() override
    {
        TunesView::viewDidDisplay();
        displayedAt = kit::Clock::current().now();
    }
    int draws = 0;
    double displayedAt = -1.0;
};

// A display server's frame queue of the tests' own: it keeps each frame
// under its date, as the server does, from the flush that sends it on, and
// drops those still to come when cancelled.
class RecordingQueue final : public kit::FrameQueue {
public:
    struct Frame {
        double date;
        QImage image;
    };
    bool accepts(QWindow*) override { return accepting; }
    bool queue(QWindow*, const QImage& frame, const QPoint&, double date) override
    {
        ++attempts;
        if (!accepting || refusing)
            return false;
        unsent[std::llround(date * 1000.0)] = Frame{date, frame.convertToFormat(QImage::Format_ARGB32)};
        ++queued;
        return true;
    }
    void flush() override
    {
        for (auto& [key, frame] : unsent)
            frames[key] = std::move(frame);
        unsent.clear();
    }
    void cancel() override
    {
        const double now = kit::Clock::current().now();
        std::erase_if(frames, [now](const auto& entry) { return entry.second.date > now; });
        unsent.clear();
        ++cancels;
    }
    // The last frame due by `date`, if any. Dates are the server's to the
    // millisecond, so a tick's date summed another way is the same date.
    const Frame* dueBy(double date) const
    {
        const Frame* due = nullptr;
        for (const auto& [key, frame] : frames) {
            if (key <= std::llround(date * 1000.0))
                due = &frame;
        }
        return due;
    }

    bool accepting = true;
    bool refusing = false; // accepts the window, refuses its frames
    int attempts = 0;
    std::map<long long, Frame> frames; // sent to the server
    std::map<long long, Frame> unsent;
    int queued = 0;
    int cancels = 0;
};

class MarqueeFramesTest : public testing_support::KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        bar().reset();
        bar().setWidthForTesting(300);
        item = bar().statusItemWithLength(120);
        ASSERT_TRUE(item);
        view = std::make_unique<CountingTunesView>(kit::Rect(0, 0, 120, 26));
        item->setView(view.get());
        QWidget* strip = bar().widget();
        for (int i = 0; i < 200 && !(strip->windowHandle() && strip->windowHandle()->isExposed()); ++i)
            QCoreApplication::processEvents();
        settle();
    }
    void TearDown() override
    {
        view.reset();
        bar().reset();
        bar().setWidthForTesting(0);
        KitTest::TearDown();
    }

    static kit::StatusBar& bar() { return kit::StatusBar::systemStatusBar(); }

    // Lets requests made outside a timer pass (and Qt's own paints) happen.
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    QRect viewArea() const
    {
        QWidget* w = view->widget();
        return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    }

    // The pixels the strip's window holds for the marquee.
    QImage onScreen() const
    {
        QBackingStore* store = bar().widget()->backingStore();
        QPaintDevice* device = store ? store->paintDevice() : nullptr;
        if (!device || device->devType() != QInternal::Image)
            return {};
        return static_cast<QImage*>(device)->copy(viewArea()).convertToFormat(QImage::Format_ARGB32);
    }

    // The same area drawn afresh by the widget paint pass: the strip and
    // the marquee's widget, as every frame was drawn before.
    QImage widgetPass() const
    {
        // Not a draw on screen: the grab leaves the marquee's record alone.
        const double displayedAt = view->displayedAt;
        QImage drawn = bar().widget()->grab(viewArea()).toImage().convertToFormat(QImage::Format_ARGB32);
        view->displayedAt = displayedAt;
        return drawn;
    }

    // What the window shows now.
    virtual QImage shown() const { return onScreen(); }

    // Runs frames one by one; each must show what the widget pass draws for
    // the marquee's state then.
    void expectFramesMatch(int frames, const std::string& what)
    {
        for (int i = 0; i < frames; ++i) {
            runFor(kFrame);
            const QImage now = shown();
            ASSERT_FALSE(now.isNull());
            ASSERT_EQ(now, widgetPass()) << what << ", frame " << i << ", offset " << view->offset();
        }
    }

    kit::StatusItem* item = nullptr;
    std::unique_ptr<CountingTunesView> view;
};

TEST_F(MarqueeFramesTest, EveryFrameShowsWhatTheWidgetPassDraws)
{
    view->setDisplayString(kLongLine);
    view->setTimePerc(0.3f);
    settle();
    ASSERT_EQ(onScreen(), widgetPass());
    expectFramesMatch(60, "scrolling with the bar, fades and notes");

    view->setTimePerc(0.8f);
    expectFramesMatch(3, "a new position");
    view->setHighlighted(true);
    view->setNeedsDisplay(true);
    settle();
    expectFramesMatch(3, "highlighted");
    view->setHighlighted(false);

    view->setPieStyle(1);
    view->setFadeEdges(false);
    view->setFontColor(kit::Color::colorWithDeviceRed(0.8, 0.1, 0.1, 1.0));
    expectFramesMatch(40, "the pie, no fades");

    // The line comes to rest on the first refresh tick: until then the
    // screen keeps the frame drawn as scrolling was turned off, as it always
    // did.
    view->setScrollingDisabled(true);
    settle();
    runFor(15 * kFrame);
    expectFramesMatch(20, "scrolling disabled");
    view->setScrollingDisabled(false);

    view->setPieStyle(2);
    view->setScrollSpeed(0.3f);
    view->setDisplayString("Short");
    settle();
    expectFramesMatch(10, "a line that stands");

    view->setDisplayStaticTag(true);
    view->setDisplayString("");
    settle();
    expectFramesMatch(10, "the static tag");
}

TEST_F(MarqueeFramesTest, AFrameThatWouldPaintTheSamePixelsIsNotDrawn)
{
    view->setDisplayString(kLongLine);
    view->setScrollSpeed(0.25f); // a new whole-point position every fourth tick
    settle();
    view->draws = 0;
    runFor(1.0 + kFrame / 2);
    EXPECT_EQ(view->draws, 7) << "30 ticks move the line by 7.5 points";
    EXPECT_FLOAT_EQ(view->offset(), -60.0f - 7.5f);

    view->setDisplayString("Short");
    settle();
    view->draws = 0;
    runFor(1.0);
    EXPECT_EQ(view->draws, 0) << "a line that stands does not move";
}

TEST_F(MarqueeFramesTest, TheFrameTimerSleepsWhileNothingCanMoveAndWakesOnAChange)
{
    // A reference marquee off screen never sleeps: it ticks as every
    // marquee did.
    TunesView reference(kit::Rect(0, 0, 120, 26));
    auto both = [&](auto&& change) {
        change(*view);
        change(reference);
    };

    both([](TunesView& v) { v.setDisplayString("Short"); });
    settle();
    runFor(2 * kFrame);
    EXPECT_TRUE(view->isAsleep());
    EXPECT_FALSE(reference.isAsleep());
    EXPECT_TRUE(view->timer()->isSuspended());

    // Asleep, the loop has only the reference's timer to wake for.
    const auto next = RunLoop::main().nextFireDate();
    ASSERT_TRUE(next);
    EXPECT_EQ(*next, reference.timer()->fireDate());

    // The play position moves the bar: the marquee wakes and draws it.
    const QImage before = onScreen();
    runFor(1.0);
    EXPECT_EQ(view->offset(), reference.offset()) << "the skipped ticks still moved the line";
    both([](TunesView& v) { v.setTimePerc(0.5f); });
    runFor(kFrame);
    EXPECT_NE(onScreen(), before);
    EXPECT_EQ(onScreen(), widgetPass());
    runFor(2 * kFrame);
    EXPECT_TRUE(view->isAsleep()) << "and sleeps again";

    // A setting that makes the line scroll wakes it where the reference is.
    both([](TunesView& v) { v.setPieStyle(1); v.setDrawNotes(true); v.setStrWidth(200.0f); });
    runFor(kFrame);
    EXPECT_FALSE(view->isAsleep());
    EXPECT_EQ(view->offset(), reference.offset());
    expectFramesMatch(5, "woken by a setting");
    EXPECT_EQ(view->offset(), reference.offset());

    // The static tag: nothing moves; a new line wakes it.
    both([](TunesView& v) { v.setDisplayStaticTag(true); v.setDisplayString(""); });
    settle();
    runFor(3 * kFrame);
    EXPECT_TRUE(view->isAsleep());
    runFor(5.0);
    both([](TunesView& v) { v.setDisplayStaticTag(false); v.setDisplayString(kLongLine); });
    EXPECT_FALSE(view->isAsleep());
    settle();
    expectFramesMatch(10, "a new line after the static tag");
    EXPECT_EQ(view->offset(), reference.offset());

    // Scrolling disabled: asleep once the line rests, with the frame count
    // kept as the ticks would have kept it.
    both([](TunesView& v) { v.setScrollingDisabled(true); });
    settle();
    runFor(16 * kFrame); // the first refresh tick draws the line at rest
    EXPECT_TRUE(view->isAsleep());
    runFor(0.7);
    EXPECT_EQ(view->frameCount(), reference.frameCount());

    // A new position shows on the next refresh tick, as it always did,
    // while the frame timer stays asleep: only that tick wakes the marquee.
    const QImage atRest = onScreen();
    both([](TunesView& v) { v.setTimePerc(0.9f); });
    int wakeUps = 0;
    while (onScreen() == atRest && wakeUps < 20) {
        const auto due = RunLoop::main().nextFireDate();
        ASSERT_TRUE(due);
        EXPECT_EQ(view->frameCount(), reference.frameCount());
        EXPECT_TRUE(view->timer()->isSuspended());
        runFor(*due - clock.now());
        ++wakeUps;
    }
    EXPECT_EQ(onScreen(), widgetPass());
    EXPECT_EQ(view->frameCount(), 0) << "drawn on the refresh tick";
    EXPECT_TRUE(view->isAsleep());

    both([](TunesView& v) { v.setDisplayString("Another line long enough to scroll past both ends"); });
    EXPECT_EQ(view->frameCount(), reference.frameCount());
    settle();
    expectFramesMatch(16, "a new line with scrolling disabled");
    EXPECT_EQ(view->offset(), reference.offset());
}

TEST_F(MarqueeFramesTest, APausedMarqueeSleepsAndResumesWhereItWas)
{
    view->setDisplayString(kLongLine);
    settle();
    runFor(10 * kFrame);
    const float where = view->offset();
    view->setPaused(true);
    runFor(kFrame);
    EXPECT_TRUE(view->isAsleep());
    runFor(3.0);
    EXPECT_EQ(view->offset(), where);
    view->setPaused(false);
    runFor(kFrame);
    EXPECT_FALSE(view->isAsleep());
    EXPECT_EQ(view->offset(), where - 1.0f);
    EXPECT_EQ(onScreen(), widgetPass());
}

class MarqueeAheadTest : public MarqueeFramesTest {
protected:
    void SetUp() override
    {
        kit::FrameQueue::setFactory([this] {
            auto made = std::make_unique<RecordingQueue>();
            queue = made.get();
            return made;
        });
        MarqueeFramesTest::SetUp();
    }
    void TearDown() override
    {
        MarqueeFramesTest::TearDown();
        kit::FrameQueue::setFactory(nullptr);
    }

    // The last frame the server put up, or what was drawn straight into the
    // window after it.
    QImage shown() const override
    {
        const RecordingQueue::Frame* frame = queue ? queue->dueBy(clock.now()) : nullptr;
        if (frame && std::llround(frame->date * 1000.0) > std::llround(view->displayedAt * 1000.0))
            return frame->image;
        return onScreen();
    }

    RecordingQueue* queue = nullptr;
};

TEST_F(MarqueeAheadTest, QueuedFramesShowWhatEveryTickWouldDrawThroughChanges)
{
    // A reference off screen ticks every frame, as every marquee did.
    TunesView reference(kit::Rect(0, 0, 120, 26));
    auto both = [&](auto&& change) {
        change(*view);
        change(reference);
    };
    both([](TunesView& v) { v.setDisplayString(kLongLine); v.setTimePerc(0.3f); });
    settle();
    expectFramesMatch(2, "starting");
    ASSERT_TRUE(view->isRunningAhead());
    EXPECT_FALSE(reference.isRunningAhead());
    EXPECT_TRUE(view->timer()->isSuspended());
    expectFramesMatch(60, "scrolling with the bar, fades and notes");
    EXPECT_EQ(view->offset(), reference.offset()) << "the model takes every tick";

    // Changes written between passes, as the controller makes them: the
    // queued frames are drawn again from the next pass on.
    const int cancels = queue->cancels;
    both([](TunesView& v) { v.setTimePerc(0.8f); });
    expectFramesMatch(20, "a new position");
    both([](TunesView& v) { v.setHighlighted(true); v.setNeedsDisplay(true); });
    expectFramesMatch(10, "highlighted");
    both([](TunesView& v) { v.setHighlighted(false); v.setNeedsDisplay(true); });
    both([](TunesView& v) { v.setPieStyle(1); v.setFadeEdges(false); v.setFontColor(kit::Color::redColor()); });
    expectFramesMatch(20, "the pie, no fades, red");
    both([](TunesView& v) { v.setScrollSpeed(2.5f); });
    expectFramesMatch(20, "faster");
    both([](TunesView& v) { v.setDisplayString("Another line long enough to scroll past both ends - Someone"); });
    expectFramesMatch(20, "a new line");
    EXPECT_EQ(queue->cancels, cancels) << "changes redraw the queued frames in place";
    EXPECT_TRUE(view->isRunningAhead());
    EXPECT_EQ(view->offset(), reference.offset());

    // A position set from outside, and a frame drawn out of turn (the menu's
    // highlight), which drops what was queued.
    both([](TunesView& v) { v.setOffset(-3.0f); });
    expectFramesMatch(10, "moved from outside");
    view->setHighlighted(true);
    view->display();
    EXPECT_GT(queue->cancels, cancels);
    expectFramesMatch(10, "highlighted at once");
    view->setHighlighted(false);
    view->setNeedsDisplay(true);
    settle();
    reference.setOffset(view->offset());

    // Paused, the position set in the same breath: nothing moves, the queue
    // is dropped and the marquee sleeps; playing again, it runs ahead from
    // where it stood.
    both([](TunesView& v) { v.setPaused(true); v.setOffset(-40.0f); });
    expectFramesMatch(3, "paused");
    EXPECT_TRUE(view->isAsleep());
    EXPECT_FALSE(view->isRunningAhead());
    runFor(2.0);
    expectFramesMatch(3, "still paused");
    both([](TunesView& v) { v.setPaused(false); });
    expectFramesMatch(20, "playing again");
    EXPECT_TRUE(view->isRunningAhead());
    EXPECT_EQ(view->offset(), reference.offset());

    // Scrolling disabled: back to refresh ticks, asleep between them.
    both([](TunesView& v) { v.setScrollingDisabled(true); });
    settle();
    runFor(16 * kFrame);
    expectFramesMatch(20, "scrolling disabled");
    EXPECT_FALSE(view->isRunningAhead());
    both([](TunesView& v) { v.setScrollingDisabled(false); });
    expectFramesMatch(20, "scrolling again");
    EXPECT_TRUE(view->isRunningAhead());
    EXPECT_EQ(view->frameCount(), reference.frameCount());
}

TEST_F(MarqueeAheadTest, RunningAheadTheLoopWakesAFewTimesASecond)
{
    view->setDisplayString(kLongLine);
    settle();
    runFor(1.0);
    ASSERT_TRUE(view->isRunningAhead());
    int wakeUps = 0;
    const double end = clock.now() + 3.0;
    for (;;) {
        const auto due = RunLoop::main().nextFireDate();
        ASSERT_TRUE(due);
        if (*due > end)
            break;
        runFor(*due - clock.now());
        ++wakeUps;
    }
    // A second ahead, topped up when a third of it is left.
    EXPECT_GE(wakeUps, 4);
    EXPECT_LE(wakeUps, 6) << "three seconds of 30 frames a second";
    const double last = queue->frames.rbegin()->second.date;
    EXPECT_GT(last, clock.now() + 0.3);
    EXPECT_LE(last, clock.now() + 1.0 + kFrame / 2);
}

TEST_F(MarqueeAheadTest, WhereFramesCannotBeQueuedEveryTickDraws)
{
    view->setDisplayString(kLongLine);
    settle();
    runFor(5 * kFrame);
    ASSERT_TRUE(view->isRunningAhead());
    queue->accepting = false;
    expectFramesMatch(30, "the queue refusing");
    EXPECT_FALSE(view->isRunningAhead());
    EXPECT_FALSE(view->timer()->isSuspended());

    // A queue that takes the window but not its frames is not asked again
    // at every tick; a change gives it another chance.
    queue->accepting = true;
    queue->refusing = true;
    view->setDisplayString("Another line long enough to scroll past both ends - Someone");
    settle();
    expectFramesMatch(5, "frames refused");
    const int attempts = queue->attempts;
    expectFramesMatch(30, "frames refused");
    EXPECT_EQ(queue->attempts, attempts);
    EXPECT_FALSE(view->isRunningAhead());
    queue->refusing = false;
    view->setTimePerc(0.5f);
    expectFramesMatch(30, "frames taken again");
    EXPECT_TRUE(view->isRunningAhead());

    // So does a new size, which no setter of the marquee's own makes.
    queue->refusing = true;
    view->setTimePerc(0.6f);
    expectFramesMatch(5, "frames refused");
    EXPECT_FALSE(view->isRunningAhead());
    queue->refusing = false;
    view->setFrameSize(kit::Size{110, 26});
    expectFramesMatch(30, "frames taken again at a new size");
    EXPECT_TRUE(view->isRunningAhead());
}

} // namespace
