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
    m_textDrawShadow.setShadowBlurRadius(3.0);
    m_textDrawShadow.setShadowColor(kit::Color::darkGrayColor());
    m_textDrawShadow.setShadowOffset(kit::Size{2.0, -2.0});
    m_drawShadow = true;
    m_drawNotes = true;
    m_pieStyle = 2;
    m_fps = 30;
    m_scrollSpeed = 1.0f;
    m_oFont = kit::Font::fontWithName("Monaco", 10.0);
    m_displayStr = std::string();
    m_fontColor = kit::Color::colorWithDeviceRed(0.0, 0.0, 0.0, 1.0);
    setFPS(30);
    m_fadeEdges = true;
}

TunesView::~TunesView()
{
    stopRunningAhead(false);
    wake();
    if (m_timer)
        m_timer->invalidate();
}

void TunesView::setFont(const std::string& name, int size)
{
    m_oFont = kit::Font::fontWithName(name, static_cast<float>(size));
    setDisplayString(m_displayStr, true);
}

void TunesView::setFPS(int framesPerSecond)
{
    // A refresh tick with scrolling disabled comes every fps / 2 ticks, so
    // fewer than two ticks a second cannot work.
    m_fps = std::max(framesPerSecond, kMinimumFPS);
    wake();
    stopRunningAhead();
    changed(Change::Frames);
    if (m_timer)
        m_timer->invalidate();
    const double interval = 1.0 / static_cast<double>(static_cast<float>(m_fps));
    m_timer = kit::Timer::scheduledTimerWithTimeInterval(
        interval, [this](kit::Timer& t) { timerFire(&t); }, true);
    kit::RunLoop::currentRunLoop().addTimer(m_timer, kit::RunLoopMode::EventTracking);
    kit::RunLoop::currentRunLoop().addTimer(m_timer, kit::RunLoopMode::ModalPanel);
}

void TunesView::setScrollingDisabled(bool flag)
{
    wake();
    if (flag != m_scrollingDisabled)
        changed(Change::Frames);
    if (flag) {
        setOffset(static_cast<float>(-frame().width()));
        display();
        m_scrollingDisabled = true;
    } else {
        m_scrollingDisabled = false;
    }
}

void TunesView::setDisplayString(const std::string& line)
{
    setDisplayString(line, false);
}

void TunesView::setDisplayString(const std::string& line, bool bypass)
{
    if (!bypass && m_displayStr == line)
        return;
    wake();
    // `line` may be `displayStr` itself (a re-render): copy before replacing.
    std::string copy(line);
    if (copy != m_displayStr)
        changed(Change::Frames);
    m_displayStr = std::move(copy);
    if (!m_displayStr.empty())
        renderLine();
    if (!bypass)
        setOffset(m_scrollingDisabled ? 0.0f : static_cast<float>(-0.5 * frame().width()));
    setNeedsDisplay(true);
}

void TunesView::renderLine()
{
    const kit::TextAttributes attributes = textAtt();
    const std::string text = cutAfterCodePoints(m_displayStr, kMaxCodePoints);
    const kit::Size measured = kit::sizeWithAttributes(text, attributes);
    const double scale = backingScaleFactor();

    // A line too wide for one image is drawn cut, with an ellipsis, in the
    // widest image there can be.
    const double widest = std::floor(kMaxLinePixels / scale);
    const bool cut = measured.width + 2.0 * kEndRoom > widest;
    m_strWidth = static_cast<float>(cut ? widest : measured.width + 2.0 * kEndRoom);

    const double height = frame().height();
    m_img = std::make_unique<kit::Image>(kit::Size{m_strWidth, height}, scale);
    ++m_imageSerial;
    changed(Change::Frames);
    m_img->lockFocus();
    if (m_drawNotes && !m_scrollingDisabled) {
        if (kit::Image* note = kit::Image::imageNamed("noteIcon.png")) {
            note->drawAtPoint(kit::Point{0.0, 0.0}, kit::ZeroRect, kit::CompositingOperation::SourceOver, 1.0);
            note->drawAtPoint(kit::Point{m_strWidth - kEndRoom, 0.0}, kit::ZeroRect,
                              kit::CompositingOperation::SourceOver, 1.0);
        }
    }
    kit::Rect textRect = measured.height <= height
                             ? kit::Rect(0.0, (height - measured.height) * 0.5, m_strWidth, measured.height)
                             : kit::Rect(0.0, 0.0, m_strWidth, height);
    textRect.origin.y += static_cast<float>(m_vertAdjust);
    if (cut) {
        textRect.origin.x = kEndRoom;
        textRect.size.width = m_strWidth - 2.0 * kEndRoom;
    }
    QVDrawStr(text, textRect);
    m_img->unlockFocus();
}

void TunesView::needsTotalRefresh()
{
    setDisplayString(m_displayStr, true);
}

kit::TextAttributes TunesView::textAtt() const
{
    kit::ParagraphStyle style = kit::ParagraphStyle::defaultParagraphStyle();
    style.lineBreakMode = kit::LineBreakMode::ByTruncatingTail;
    style.alignment = kit::TextAlignment::Center;

    kit::TextAttributes attributes;
    attributes.paragraphStyle = style;
    attributes.foregroundColor = m_fontColor;
    if (m_drawShadow)
        attributes.shadow = m_textDrawShadow;
    attributes.font = m_oFont; // none: the default font applies
    return attributes;
}

void TunesView::QVDrawStr(const std::string& text, kit::Rect rect) const
{
    kit::drawInRect(text, rect, textAtt());
}

void TunesView::timerFire(kit::Timer*)
{
    // A frame that would paint what the screen already shows is not drawn.
    if (advance() && screenIsBehind(m_offset))
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
    if (m_scrollingDisabled) {
        ++m_frameCount;
        const int half = std::max(m_fps / 2, 1);
        if (m_frameCount % half != 0)
            return false;
        m_frameCount = 0;
        m_offset = -width;
        return true;
    }
    if (ticksAreInert())
        return false;
    m_offset = m_offset - m_scrollSpeed;
    if (m_offset <= -(m_strWidth + width) || !std::isfinite(m_offset))
        m_offset = 0.0f;
    return true;
}

bool TunesView::ticksAreInert() const
{
    return !m_scrollingDisabled && (m_displayStr.empty() || m_isPaused || (m_isDemoView && !isWindowVisible()));
}

bool TunesView::maySleep() const
{
    if (!m_timer || !m_timer->isValid())
        return false;
    // With scrolling disabled only refresh ticks can draw; an alarm stands
    // in for the next one whenever the screen is behind.
    if (ticksAreInert() || m_scrollingDisabled)
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
    m_timer->suspend();
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
    if (!isAsleep() || !m_scrollingDisabled || !screenIsBehind(static_cast<float>(-frame().width()))) {
        if (m_refreshAlarm)
            m_refreshAlarm->invalidate();
        m_refreshAlarm.reset();
        return;
    }
    // The refresh tick is the one that brings the frame count to a multiple
    // of half the rate; the alarm goes off on that very fire date.
    const int half = std::max(m_fps / 2, 1);
    const long long ticksAway = half - m_frameCount % half;
    const double date = m_timer->fireDate() + static_cast<double>(ticksAway - 1) * m_timer->timeInterval();
    if (m_refreshAlarm && m_refreshAlarm->isValid() && m_refreshAlarm->fireDate() == date)
        return;
    if (m_refreshAlarm)
        m_refreshAlarm->invalidate();
    m_refreshAlarm = std::make_shared<kit::Timer>(
        date - kit::Clock::current().now(),
        [this, half = m_timer->timeInterval() / 2](kit::Timer& alarm) {
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
    if (m_timer)
        m_timer->resume();
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
    if (!m_timer)
        return;
    bool asked = false;
    for (long long missed = m_timer->takeFiringsThrough(date); missed > 0; --missed)
        asked = advance() || asked;
    // Only a refresh tick with scrolling disabled, or a tick after a change
    // the loop has not yet seen, finds the screen behind.
    if (asked && screenIsBehind(m_offset))
        setNeedsDisplay(true);
}

void TunesView::viewDidDisplay()
{
    m_shown = paintState();
}

void TunesView::viewDidResize()
{
    changed(Change::Frames);
}

void TunesView::changed(Change what)
{
    if (what == Change::Position) {
        m_aheadMoved = true;
        return;
    }
    m_aheadChanged = true;
    m_aheadRefused = false;
}

bool TunesView::showsPosition() const
{
    return m_pieStyle == 1 || m_pieStyle == 2;
}

void TunesView::setTimePerc(float fraction)
{
    // Only the pie or the bar shows it.
    if (fraction != m_timePerc && showsPosition())
        changed(Change::Frames);
    m_timePerc = fraction;
}

void TunesView::setFontColor(const kit::Color& color)
{
    // The line takes it when rendered again; only the pie or the bar at once.
    if (color != m_fontColor && showsPosition())
        changed(Change::Frames);
    m_fontColor = color;
}

void TunesView::setOffset(float position)
{
    if (position != m_offset)
        changed(Change::Position);
    m_offset = position;
}

void TunesView::setImg(std::unique_ptr<kit::Image> image)
{
    m_img = std::move(image);
    changed(Change::Frames);
}

void TunesView::mouseDown(const kit::Event&)
{
    // The controller may discard this marquee while handling the click:
    // nothing of it is touched afterwards.
    if (m_zintara)
        m_zintara->tunesMenuClick(nullptr);
}

void TunesView::mouseUp(const kit::Event&)
{
}
