#include "zintara/TunesView.h"

#include "kit/Clock.h"
#include "kit/Graphics.h"
#include "kit/ParagraphStyle.h"
#include "kit/RunLoop.h"
#include "kit/StringDrawing.h"
#include "kit/Timer.h"
#include "zintara/Zintara.h"

#include <algorithm>
#include <cmath>

namespace {
// Free room at each end of the line image, where a note icon can sit.
constexpr float kEndRoom = 18.0f;
constexpr int kMinimumFPS = 2;
// Lines longer than this are cut before they are even measured; no line this
// long fits in an image the painting system can draw.
constexpr std::size_t kMaxCodePoints = 16384;

// `text` cut after `count` code points with an ellipsis, when longer.
std::string cutAfterCodePoints(const std::string& text, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count)
            return text.substr(0, i) + "\u2026";
    }
    return text;
}
} // namespace

TunesView::TunesView(kit::Rect frame)
    : kit::View(frame)
{
    textDrawShadow.setShadowBlurRadius(3.0);
    textDrawShadow.setShadowColor(kit::Color::darkGrayColor());
    textDrawShadow.setShadowOffset(kit::Size{2.0, -2.0});
    drawShadow = true;
    drawNotes = true;
    pieStyle = 2;
    fps = 30;
    scrollSpeed = 1.0f;
    oFont = kit::Font::fontWithName("Monaco", 10.0);
    displayStr = std::string();
    fontColor = kit::Color::colorWithDeviceRed(0.0, 0.0, 0.0, 1.0);
    setFPS(30);
    fadeEdges = true;
}

TunesView::~TunesView()
{
    stopRunningAhead(false);
    wake();
    if (timer)
        timer->invalidate();
}

void TunesView::setFont(const std::string& name, int size)
{
    oFont = kit::Font::fontWithName(name, static_cast<float>(size));
    setDisplayString(displayStr, true);
}

void TunesView::setFPS(int framesPerSecond)
{
    // A refresh tick with scrolling disabled comes every fps / 2 ticks, so
    // fewer than two ticks a second cannot work.
    fps = std::max(framesPerSecond, kMinimumFPS);
    wake();
    stopRunningAhead();
    if (timer)
        timer->invalidate();
    const double interval = 1.0 / static_cast<double>(static_cast<float>(fps));
    timer = kit::Timer::scheduledTimerWithTimeInterval(
        interval, [this](kit::Timer& t) { timerFire(&t); }, true);
    kit::RunLoop::currentRunLoop().addTimer(timer, kit::RunLoopMode::EventTracking);
    kit::RunLoop::currentRunLoop().addTimer(timer, kit::RunLoopMode::ModalPanel);
}

void TunesView::setScrollingDisabled(bool flag)
{
    wake();
    if (flag) {
        offset = static_cast<float>(-frame().width());
        display();
        scrollingDisabled = true;
    } else {
        scrollingDisabled = false;
    }
}

void TunesView::setDisplayString(const std::string& line)
{
    setDisplayString(line, false);
}

void TunesView::setDisplayString(const std::string& line, bool bypass)
{
    if (!bypass && displayStr == line)
        return;
    wake();
    // `line` may be `displayStr` itself (a re-render): copy before replacing.
    std::string copy(line);
    displayStr = std::move(copy);
    if (!displayStr.empty())
        renderLine();
    if (!bypass)
        offset = scrollingDisabled ? 0.0f : static_cast<float>(-0.5 * frame().width());
    setNeedsDisplay(true);
}

void TunesView::renderLine()
{
    const kit::TextAttributes attributes = textAtt();
    const std::string text = cutAfterCodePoints(displayStr, kMaxCodePoints);
    const kit::Size measured = kit::sizeWithAttributes(text, attributes);
    const double scale = backingScaleFactor();

    // A line too wide for one image is drawn cut, with an ellipsis, in the
    // widest image there can be.
    const double widest = std::floor(kMaxLinePixels / scale);
    const bool cut = measured.width + 2.0 * kEndRoom > widest;
    strWidth = static_cast<float>(cut ? widest : measured.width + 2.0 * kEndRoom);

    const double height = frame().height();
    img = std::make_unique<kit::Image>(kit::Size{strWidth, height}, scale);
    ++m_imageSerial;
    img->lockFocus();
    if (drawNotes && !scrollingDisabled) {
        if (kit::Image* note = kit::Image::imageNamed("noteIcon.png")) {
            note->drawAtPoint(kit::Point{0.0, 0.0}, kit::ZeroRect, kit::CompositingOperation::SourceOver, 1.0);
            note->drawAtPoint(kit::Point{strWidth - kEndRoom, 0.0}, kit::ZeroRect,
                              kit::CompositingOperation::SourceOver, 1.0);
        }
    }
    kit::Rect textRect = measured.height <= height
                             ? kit::Rect(0.0, (height - measured.height) * 0.5, strWidth, measured.height)
                             : kit::Rect(0.0, 0.0, strWidth, height);
    textRect.origin.y += static_cast<float>(vertAdjust);
    if (cut) {
        textRect.origin.x = kEndRoom;
        textRect.size.width = strWidth - 2.0 * kEndRoom;
    }
    QVDrawStr(text, textRect);
    img->unlockFocus();
}

void TunesView::needsTotalRefresh()
{
    setDisplayString(displayStr, true);
}

kit::TextAttributes TunesView::textAtt() const
{
    kit::ParagraphStyle style = kit::ParagraphStyle::defaultParagraphStyle();
    style.lineBreakMode = kit::LineBreakMode::ByTruncatingTail;
    style.alignment = kit::TextAlignment::Center;

    kit::TextAttributes attributes;
    attributes.paragraphStyle = style;
    attributes.foregroundColor = fontColor;
    if (drawShadow)
        attributes.shadow = textDrawShadow;
    attributes.font = oFont; // none: the default font applies
    return attributes;
}

void TunesView::QVDrawStr(const std::string& text, kit::Rect rect) const
{
    kit::drawInRect(text, rect, textAtt());
}

void TunesView::timerFire(kit::Timer*)
{
    // A frame that would paint what the screen already shows is not drawn.
    if (advance() && screenIsBehind(offset))
        setNeedsDisplay(true);
    sleepIfIdle();
    if (!isAsleep())
        runAhead();
}

bool TunesView::screenIsBehind(float atOffset) const
{
    return needsDisplay() || !m_shown || *m_shown != paintState(atOffset);
}

bool TunesView::advance()
{
    const float width = static_cast<float>(frame().width());
    if (scrollingDisabled) {
        ++frameCount;
        const int half = std::max(fps / 2, 1);
        if (frameCount % half != 0)
            return false;
        frameCount = 0;
        offset = -width;
        return true;
    }
    if (ticksAreInert())
        return false;
    offset = offset - scrollSpeed;
    if (offset <= -(strWidth + width) || !std::isfinite(offset))
        offset = 0.0f;
    return true;
}

bool TunesView::ticksAreInert() const
{
    return !scrollingDisabled && (displayStr.empty() || isPaused || (isDemoView && !isWindowVisible()));
}

bool TunesView::maySleep() const
{
    if (!timer || !timer->isValid())
        return false;
    // With scrolling disabled only refresh ticks can draw; an alarm stands
    // in for the next one whenever the screen is behind.
    if (ticksAreInert() || scrollingDisabled)
        return true;
    // Ticks still move the model; they may go unseen only while the screen
    // shows the present state and nothing drawn depends on what they move.
    if (needsDisplay() || !m_shown)
        return false;
    const PaintState now = paintState();
    if (*m_shown != now)
        return false;
    return !now.line || now.image == 0 || now.stands || now.staticTag; // nothing reads the offset
}

void TunesView::sleepIfIdle()
{
    if (isAsleep() || !maySleep())
        return;
    timer->suspend();
    m_sleepObserver = kit::RunLoop::main().addObserver([this] {
        catchUp();
        if (!maySleep())
            wake();
        else
            armRefreshAlarm();
    });
    armRefreshAlarm();
}

void TunesView::armRefreshAlarm()
{
    if (!isAsleep() || !scrollingDisabled || !screenIsBehind(static_cast<float>(-frame().width()))) {
        if (m_refreshAlarm)
            m_refreshAlarm->invalidate();
        m_refreshAlarm.reset();
        return;
    }
    // The refresh tick is the one that brings the frame count to a multiple
    // of half the rate; the alarm goes off on that very fire date.
    const int half = std::max(fps / 2, 1);
    const long long ticksAway = half - frameCount % half;
    const double date = timer->fireDate() + static_cast<double>(ticksAway - 1) * timer->timeInterval();
    if (m_refreshAlarm && m_refreshAlarm->isValid() && m_refreshAlarm->fireDate() == date)
        return;
    if (m_refreshAlarm)
        m_refreshAlarm->invalidate();
    m_refreshAlarm = std::make_shared<kit::Timer>(
        date - kit::Clock::current().now(),
        [this, half = timer->timeInterval() / 2](kit::Timer& alarm) {
            // Up to half a tick on, so that the refresh tick's own fire date
            // counts however its sum was rounded.
            catchUpThrough(alarm.fireDate() + half);
            armRefreshAlarm();
        },
        false);
    m_refreshAlarm->setFireDate(date);
    for (kit::RunLoopMode mode : {kit::RunLoopMode::Default, kit::RunLoopMode::EventTracking,
                                  kit::RunLoopMode::ModalPanel})
        kit::RunLoop::main().addTimer(m_refreshAlarm, mode);
}

void TunesView::wake()
{
    if (!isAsleep())
        return;
    catchUp();
    kit::RunLoop::main().removeObserver(m_sleepObserver);
    m_sleepObserver = 0;
    if (m_refreshAlarm)
        m_refreshAlarm->invalidate();
    m_refreshAlarm.reset();
    if (timer)
        timer->resume();
}

void TunesView::catchUp()
{
    // The skipped ticks, on the model only, so that the scroll position and
    // the frame count move on as they would have. Asleep, none of them
    // changes a pixel except a refresh tick with scrolling disabled.
    catchUpThrough(kit::Clock::current().now());
}

void TunesView::catchUpThrough(double date)
{
    if (!timer)
        return;
    bool asked = false;
    for (long long missed = timer->takeFiringsThrough(date); missed > 0; --missed)
        asked = advance() || asked;
    // Only a refresh tick with scrolling disabled, or a tick after a change
    // the loop has not yet seen, finds the screen behind.
    if (asked && screenIsBehind(offset))
        setNeedsDisplay(true);
}

void TunesView::viewDidDisplay()
{
    m_shown = paintState();
}

void TunesView::mouseDown(const kit::Event&)
{
    // The controller may discard this marquee while handling the click:
    // nothing of it is touched afterwards.
    if (zintara)
        zintara->tunesMenuClick(nullptr);
}

void TunesView::mouseUp(const kit::Event&)
{
}
