// The marquee's model and timing on the manual clock: accepting lines,
// pre-rendering, the frame timer and its modes, scrolling and its wrap.
#include "kit/Image.h"
#include "kit/RunLoop.h"
#include "kit/StringDrawing.h"
#include "kit/Timer.h"
#include "support/TestEnvironment.h"
#include "zintara/TunesView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using kit::RunLoop;
using kit::RunLoopMode;

namespace {

constexpr double kW = 120.0;
constexpr double kH = 26.0;
// Running for a second plus half a frame fires exactly 30 ticks at 30 fps
// whatever the rounding of the fire dates; later runs of whole seconds keep
// that half-frame margin.
constexpr double kSecond = 1.0 + 0.5 / 30.0;

class TunesViewModelTest : public testing_support::KitTest {
protected:
    static kit::Rect frame() { return kit::Rect(0, 0, kW, kH); }

    static void showNow(QWidget* widget)
    {
        widget->show();
        for (int i = 0; i < 100 && !(widget->windowHandle() && widget->windowHandle()->isExposed()); ++i)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    // Columns of the line image that hold any ink.
    static std::vector<bool> inkedColumns(const kit::Image& image)
    {
        std::vector<bool> columns(image.pixelsWide(), false);
        for (int x = 0; x < image.pixelsWide(); ++x)
            for (int y = 0; y < image.pixelsHigh() && !columns[x]; ++y)
                columns[x] = image.colorAtPixel(x, y).alphaComponent() > 0.05;
        return columns;
    }
};

TEST_F(TunesViewModelTest, StartsWithItsInitialStateAndATimerInThreeModes)
{
    TunesView view(frame());
    EXPECT_TRUE(view.drawShadow());
    EXPECT_TRUE(view.drawNotes());
    EXPECT_TRUE(view.fadeEdges());
    EXPECT_FALSE(view.isDemoView() || view.isPaused() || view.scrollingDisabled() || view.highlighted());
    EXPECT_EQ(view.pieStyle(), 2);
    EXPECT_EQ(view.fps(), 30);
    EXPECT_EQ(view.scrollSpeed(), 1.0f);
    EXPECT_EQ(view.displayStr(), "");
    EXPECT_EQ(view.img(), nullptr);
    EXPECT_EQ(view.fontColor(), kit::Color::blackColor());
    EXPECT_EQ(view.textDrawShadow().shadowBlurRadius(), 3.0);
    EXPECT_EQ(view.textDrawShadow().shadowOffset(), (kit::Size{2.0, -2.0}));
    EXPECT_EQ(view.textDrawShadow().shadowColor(), kit::Color::darkGrayColor());
    EXPECT_EQ(view.zintara(), nullptr);

    ASSERT_NE(view.timer(), nullptr);
    EXPECT_DOUBLE_EQ(view.timer()->timeInterval(), 1.0 / 30.0);
    for (RunLoopMode mode : {RunLoopMode::Default, RunLoopMode::EventTracking, RunLoopMode::ModalPanel})
        EXPECT_EQ(RunLoop::main().timerCount(mode), 1u);
}

TEST_F(TunesViewModelTest, TextAttributesFollowTheFlags)
{
    TunesView view(frame());
    view.setFontColor(kit::Color::redColor());
    kit::TextAttributes attributes = view.textAtt();
    ASSERT_TRUE(attributes.paragraphStyle.has_value());
    EXPECT_EQ(attributes.paragraphStyle->alignment, kit::TextAlignment::Center);
    EXPECT_EQ(attributes.paragraphStyle->lineBreakMode, kit::LineBreakMode::ByTruncatingTail);
    EXPECT_EQ(attributes.foregroundColor, kit::Color::redColor());
    EXPECT_EQ(attributes.shadow, view.textDrawShadow());
    view.setDrawShadow(false);
    EXPECT_FALSE(view.textAtt().shadow.has_value());

    view.setFont("No Such Family 1234", 14);
    EXPECT_FALSE(view.oFont().has_value());
    EXPECT_FALSE(view.textAtt().font.has_value());
}

TEST_F(TunesViewModelTest, ANewLineIsRenderedOnceAndStartsHalfAViewLeft)
{
    TunesView view(frame());
    view.setDisplayString("Song - Artist");
    const kit::Size measured = kit::sizeWithAttributes("Song - Artist", view.textAtt());
    EXPECT_FLOAT_EQ(view.strWidth(), measured.width + 36.0);
    ASSERT_NE(view.img(), nullptr);
    EXPECT_EQ(view.img()->size(), (kit::Size{view.strWidth(), kH}));
    EXPECT_EQ(view.offset(), -60.0f);
    EXPECT_TRUE(view.needsDisplay());

    // The same line again changes nothing at all.
    const kit::Image* image = view.img().get();
    view.setOffset(-77.0f);
    view.setNeedsDisplay(false);
    view.setDisplayString(std::string("Song - Artist"));
    EXPECT_EQ(view.img().get(), image);
    EXPECT_EQ(view.offset(), -77.0f);
    EXPECT_FALSE(view.needsDisplay());

    // A different one is rendered anew and restarts the scroll.
    view.setDisplayString("Other Song");
    EXPECT_NE(view.img().get(), image);
    EXPECT_EQ(view.offset(), -60.0f);
}

TEST_F(TunesViewModelTest, RefreshRendersAgainAndKeepsTheScrollPosition)
{
    TunesView view(frame());
    view.setDisplayString("Song - Artist");
    const float notedWidth = view.strWidth();
    EXPECT_TRUE(inkedColumns(*view.img())[3]) << "a note at the start";
    view.setOffset(-42.0f);
    view.setDrawNotes(false);
    view.setNeedsDisplay(false);
    view.needsTotalRefresh();
    EXPECT_EQ(view.offset(), -42.0f);
    EXPECT_TRUE(view.needsDisplay());
    EXPECT_EQ(view.strWidth(), notedWidth) << "the end room stays, empty";
    EXPECT_FALSE(inkedColumns(*view.img())[3]);

    // A new font is a re-render too.
    view.setFont("No Such Family 1234", 24);
    EXPECT_EQ(view.offset(), -42.0f);
}

TEST_F(TunesViewModelTest, NotesSitAtBothEndsOnlyWhileScrolling)
{
    TunesView view(frame());
    view.setDrawShadow(false);
    view.setDisplayString("x");
    const std::vector<bool> ink = inkedColumns(*view.img());
    const int width = view.img()->pixelsWide();
    auto inkIn = [&](int from, int to) {
        for (int x = std::max(from, 0); x < std::min(to, width); ++x)
            if (ink[x])
                return true;
        return false;
    };
    EXPECT_TRUE(inkIn(0, 18));
    EXPECT_TRUE(inkIn(width - 18, width));
    // The notes stand on the bottom edge.
    kit::Image* note = kit::Image::imageNamed("noteIcon.png");
    ASSERT_NE(note, nullptr);
    double lowest = 1.0;
    for (int x = 0; x < 18; ++x)
        lowest = std::min(lowest, 1.0 - view.img()->colorAtPixel(x, 0).alphaComponent());
    EXPECT_LT(lowest, 1.0 - 0.01) << "something of the note touches row 0..";

    view.setScrollingDisabled(true);
    view.needsTotalRefresh();
    const std::vector<bool> bare = inkedColumns(*view.img());
    for (int x = 0; x < 18; ++x) {
        EXPECT_FALSE(bare[x]) << x;
        EXPECT_FALSE(bare[width - 1 - x]) << x;
    }
}

// The lowest and highest rows of an image holding solid ink.
std::pair<int, int> inkRows(const kit::Image& image)
{
    int low = 1000, high = -1;
    for (int y = 0; y < image.pixelsHigh(); ++y)
        for (int x = 0; x < image.pixelsWide(); ++x)
            if (image.colorAtPixel(x, y).alphaComponent() > 0.3) {
                low = std::min(low, y);
                high = std::max(high, y);
            }
    return {low, high};
}

// How far below the top of its rectangle the ink of `text` begins and ends.
std::pair<int, int> inkDepth(const std::string& text, const kit::TextAttributes& attributes)
{
    kit::Image image(kit::Size{400, 100});
    image.lockFocus();
    kit::drawInRect(text, kit::Rect(0, 0, 400, 100), attributes);
    image.unlockFocus();
    const auto [low, high] = inkRows(image);
    return {100 - 1 - high, 100 - 1 - low};
}

TEST_F(TunesViewModelTest, TextIsCentredInTheViewAndVerticalAdjustMovesIt)
{
    TunesView view(frame());
    view.setDrawShadow(false);
    view.setDrawNotes(false);
    view.setDisplayString("HHH");
    const double h = kit::sizeWithAttributes("HHH", view.textAtt()).height;
    ASSERT_LT(h, kH);
    const auto [top, bottom] = inkDepth("HHH", view.textAtt());
    // The line box, h high, lies midway: its top at (H + h) / 2.
    const auto centred = inkRows(*view.img());
    EXPECT_NEAR(centred.second, (kH + h) * 0.5 - 1 - top, 0.5);
    EXPECT_NEAR(centred.first, (kH + h) * 0.5 - 1 - bottom, 0.5);
    view.setVertAdjust(4);
    view.needsTotalRefresh();
    const auto raised = inkRows(*view.img());
    EXPECT_EQ(raised.first, centred.first + 4);
    EXPECT_EQ(raised.second, centred.second + 4);
}

TEST_F(TunesViewModelTest, TextTallerThanTheViewHangsFromItsTop)
{
    // A 16-point view and 30-point text: the text's rectangle is the view's
    // height from y = 0, so the line hangs from the top edge (centring would
    // put it (h - H) / 2 higher).
    TunesView view(kit::Rect(0, 0, kW, 16));
    view.setDrawShadow(false);
    view.setDrawNotes(false);
    view.setFont(kit::Font::defaultFont().fontName(), 30);
    ASSERT_TRUE(view.oFont().has_value());
    ASSERT_GT(kit::sizeWithAttributes("HHH", view.textAtt()).height, 30.0);
    view.setDisplayString("HHH");
    const int top = inkDepth("HHH", view.textAtt()).first;
    ASSERT_LT(top, 12);
    EXPECT_EQ(inkRows(*view.img()).second, 15 - top);
    view.setVertAdjust(-3);
    view.needsTotalRefresh();
    EXPECT_EQ(inkRows(*view.img()).second, 12 - top);
}

TEST_F(TunesViewModelTest, AMarqueeWithoutHeightDrawsItsLineNowhere)
{
    // Given a line while another image is the drawing destination, it
    // neither draws into that image nor fails.
    TunesView view(kit::Rect(0, 0, kW, 0));
    kit::Image outer(kit::Size{kW, kH});
    outer.lockFocus();
    view.setDisplayString("Song - Artist");
    outer.unlockFocus();
    ASSERT_NE(view.img(), nullptr);
    EXPECT_EQ(view.img()->pixelsHigh(), 0);
    const std::vector<bool> ink = inkedColumns(outer);
    EXPECT_EQ(std::find(ink.begin(), ink.end(), true), ink.end());
}

TEST_F(TunesViewModelTest, TheEmptyLineKeepsTheImageAndResetsTheScroll)
{
    TunesView view(frame());
    view.setDisplayString("Song");
    const kit::Image* image = view.img().get();
    const float width = view.strWidth();
    view.setOffset(-10.0f);
    view.setNeedsDisplay(false);
    view.setDisplayString("");
    EXPECT_EQ(view.img().get(), image);
    EXPECT_EQ(view.strWidth(), width);
    EXPECT_EQ(view.offset(), -60.0f);
    EXPECT_TRUE(view.needsDisplay());
}

TEST_F(TunesViewModelTest, ScrollsThirtyPointsASecondAtSpeedOneAndThirtyFPS)
{
    TunesView view(frame());
    view.setDisplayString("A line long enough to scroll past the end of the marquee");
    runFor(kSecond);
    EXPECT_EQ(view.offset(), -90.0f);
    view.setScrollSpeed(0.5f);
    runFor(kSecond - 0.5 / 30.0);
    EXPECT_EQ(view.offset(), -105.0f);

    // Faster frames move it faster.
    view.setScrollSpeed(1.0f);
    view.setFPS(60);
    runFor(1.0 + 0.5 / 60.0);
    EXPECT_EQ(view.offset(), -165.0f);
}

TEST_F(TunesViewModelTest, WrapsOnTheTickThatFirstReachesTheFarEnd)
{
    TunesView view(frame());
    view.setDisplayString("Song");
    view.setStrWidth(100.0f); // the tick reads only the field
    view.setOffset(-218.0f);
    view.timerFire(nullptr);
    EXPECT_EQ(view.offset(), -219.0f);
    view.timerFire(nullptr);
    EXPECT_EQ(view.offset(), 0.0f) << "reaching -(strWidth + width) exactly wraps";
    view.timerFire(nullptr);
    EXPECT_EQ(view.offset(), -1.0f);

    view.setOffset(-219.5f);
    view.timerFire(nullptr);
    EXPECT_EQ(view.offset(), 0.0f) << "passing it wraps too";
}

TEST_F(TunesViewModelTest, TicksDoNothingWhilePausedEmptyOrAnInvisibleDemo)
{
    TunesView view(frame());
    runFor(kSecond);
    EXPECT_EQ(view.offset(), 0.0f) << "no line";

    view.setDisplayString("Song");
    view.setPaused(true);
    view.setNeedsDisplay(false);
    runFor(1.0);
    EXPECT_EQ(view.offset(), -60.0f);
    EXPECT_FALSE(view.needsDisplay());

    view.setPaused(false);
    view.setDemoView(true);
    runFor(1.0);
    EXPECT_EQ(view.offset(), -60.0f) << "its window is not on screen";
    EXPECT_FALSE(view.needsDisplay());

    showNow(view.widget());
    runFor(1.0);
    EXPECT_EQ(view.offset(), -90.0f);
}

TEST_F(TunesViewModelTest, ScrollingDisabledRestsTheLineAndRefreshesTwiceASecond)
{
    TunesView view(frame());
    view.setDisplayString("Song");
    view.setPaused(true); // not consulted in this mode
    view.setScrollingDisabled(true);
    EXPECT_TRUE(view.scrollingDisabled());
    EXPECT_EQ(view.offset(), -120.0f);

    // A new line is placed at 0 until the next refresh tick.
    view.setDisplayString("A new song");
    EXPECT_EQ(view.offset(), 0.0f);
    view.setNeedsDisplay(false);
    for (int tick = 1; tick < 15; ++tick)
        view.timerFire(nullptr);
    EXPECT_FALSE(view.needsDisplay());
    EXPECT_EQ(view.offset(), 0.0f);
    EXPECT_EQ(view.frameCount(), 14);
    view.timerFire(nullptr);
    EXPECT_TRUE(view.needsDisplay());
    EXPECT_EQ(view.offset(), -120.0f);
    EXPECT_EQ(view.frameCount(), 0);

    // On the clock: two refreshes a second, whatever the line.
    view.setDisplayString("");
    int refreshes = 0;
    for (int i = 0; i < 30; ++i) {
        view.setNeedsDisplay(false);
        runFor(1.0 / 30.0);
        refreshes += view.needsDisplay();
    }
    EXPECT_EQ(refreshes, 2);
}

// Records the scrolling flag each time the marquee is drawn.
class RecordingTunesView : public TunesView {
public:
    using TunesView::TunesView;
    void drawRect(kit::Rect dirty) override
    {
        flagsSeen.push_back(scrollingDisabled());
        TunesView::drawRect(dirty);
    }
    std::vector<bool> flagsSeen;
};

TEST_F(TunesViewModelTest, DisablingScrollingRedrawsOnceBeforeTheFlagIsSet)
{
    RecordingTunesView view(frame());
    view.setDisplayString("Song");
    showNow(view.widget());
    view.flagsSeen.clear();
    view.setOffset(-33.0f);
    view.setScrollingDisabled(true);
    EXPECT_EQ(view.flagsSeen, std::vector<bool>{false});

    // Enabling again draws nothing and keeps the offset.
    view.flagsSeen.clear();
    view.setNeedsDisplay(false);
    view.setScrollingDisabled(false);
    EXPECT_FALSE(view.scrollingDisabled());
    EXPECT_EQ(view.offset(), -120.0f);
    EXPECT_FALSE(view.needsDisplay());
    EXPECT_TRUE(view.flagsSeen.empty());
}

TEST_F(TunesViewModelTest, TheFrameTimerRunsInMenusAndModalWindowsAndIsClamped)
{
    TunesView view(frame());
    view.setDisplayString("Song");
    {
        kit::RunLoopModeScope tracking(RunLoopMode::EventTracking);
        runFor(kSecond);
    }
    EXPECT_EQ(view.offset(), -90.0f);
    {
        kit::RunLoopModeScope modal(RunLoopMode::ModalPanel);
        runFor(1.0);
    }
    EXPECT_EQ(view.offset(), -120.0f);

    view.setFPS(0);
    EXPECT_EQ(view.fps(), 2);
    EXPECT_DOUBLE_EQ(view.timer()->timeInterval(), 0.5);
    EXPECT_EQ(RunLoop::main().timerCount(RunLoopMode::Default), 1u) << "the old timer is stopped";
    view.setFPS(-5);
    EXPECT_EQ(view.fps(), 2);
    // With scrolling disabled a refresh comes every tick at 2 fps.
    view.setScrollingDisabled(true);
    view.setNeedsDisplay(false);
    runFor(0.5);
    EXPECT_TRUE(view.needsDisplay());
}

TEST_F(TunesViewModelTest, ADiscardedMarqueeNeverTicksAgain)
{
    auto view = std::make_unique<TunesView>(frame());
    view->setDisplayString("Song");
    std::weak_ptr<kit::Timer> timer = view->timer();
    view.reset();
    EXPECT_TRUE(timer.expired() || !timer.lock()->isValid());
    EXPECT_EQ(RunLoop::main().timerCount(RunLoopMode::Default), 0u);
    runFor(kSecond); // would touch the freed marquee if it still ticked

    // Its successor ticks alone.
    TunesView next(frame());
    next.setDisplayString("Song");
    runFor(kSecond);
    EXPECT_EQ(next.offset(), -90.0f);
}

TEST_F(TunesViewModelTest, ClicksGoNowhereWithoutAControllerAndAreConsumed)
{
    // A recording superview would receive clicks passed on.
    class Host : public kit::View {
    public:
        using kit::View::View;
        void mouseDown(const kit::Event&) override { ++clicks; }
        void mouseUp(const kit::Event&) override { ++clicks; }
        int clicks = 0;
    };
    Host host(kit::Rect(0, 0, 200, 40));
    TunesView view(frame());
    host.addSubview(&view);
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view.widget(), &event);
        EXPECT_TRUE(event.isAccepted());
    }
    EXPECT_EQ(host.clicks, 0);
}

TEST_F(TunesViewModelTest, HostileLinesAreDrawnSafely)
{
    TunesView view(frame());
    view.setDisplayString("Title\nArtist\tAlbum\x07");
    const float withControls = view.strWidth();
    view.setDisplayString("Title Artist Album ");
    EXPECT_EQ(view.strWidth(), withControls) << "control characters are spaces";

    view.setDisplayString("\xff\xfe broken \xc3");
    EXPECT_GT(view.strWidth(), 36.0f);

    // Far too long for one image: cut to the widest image, with the text
    // running to its far end (the ellipsis) and not beyond.
    std::string huge;
    for (int i = 0; i < 200000; ++i)
        huge += "Long title \xe2\x99\xab ";
    view.setDisplayString(huge);
    EXPECT_LE(view.strWidth(), TunesView::kMaxLinePixels);
    EXPECT_GT(view.strWidth(), TunesView::kMaxLinePixels - 100);
    ASSERT_NE(view.img(), nullptr);
    EXPECT_EQ(view.img()->pixelsWide(), static_cast<int>(std::ceil(view.strWidth())));
    const std::vector<bool> ink = inkedColumns(*view.img());
    const int width = static_cast<int>(ink.size());
    bool nearEnd = false;
    for (int x = width - 60; x < width - 18; ++x)
        nearEnd = nearEnd || ink[x];
    EXPECT_TRUE(nearEnd);
    // Shown from the start (the view's text area begins at X0 = 112 - 60):
    // its note, then the first words of the line.
    const std::vector<bool> shown = inkedColumns(*view.renderedImage());
    auto shownIn = [&](int from, int to) {
        return std::find(shown.begin() + from, shown.begin() + to, true) != shown.begin() + to;
    };
    EXPECT_FALSE(shownIn(10, 52));
    EXPECT_TRUE(shownIn(52, 52 + 18));
    EXPECT_TRUE(shownIn(52 + 18, 52 + 30));
    EXPECT_TRUE(shownIn(52 + 30, 102));

    // A broken offset or speed never reaches the drawing as garbage.
    view.setScrollSpeed(std::nanf(""));
    view.timerFire(nullptr);
    EXPECT_EQ(view.offset(), 0.0f);
}

// A marquee on a high-density screen.
class DenseTunesView : public TunesView {
public:
    using TunesView::TunesView;
    double backingScaleFactor() const override { return 2.0; }
};

TEST_F(TunesViewModelTest, TheLineIsRenderedAtTheScreensDensity)
{
    DenseTunesView view(frame());
    view.setDisplayString("Song - Artist");
    ASSERT_NE(view.img(), nullptr);
    EXPECT_EQ(view.img()->size(), (kit::Size{view.strWidth(), kH})) << "geometry stays in points";
    EXPECT_EQ(view.img()->pixelsWide(), static_cast<int>(std::ceil(view.strWidth() * 2)));
    EXPECT_EQ(view.img()->pixelsHigh(), 52);

    // Even the longest line stays within the pixel limit.
    view.setDisplayString(std::string(100000, 'm'));
    EXPECT_LE(view.img()->pixelsWide(), TunesView::kMaxLinePixels);
}

} // namespace
