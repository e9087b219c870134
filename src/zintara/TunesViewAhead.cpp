// Running ahead: while the line scrolls steadily, the frames of the coming
// ticks are drawn in a batch and queued with the display server, which puts
// each on screen in its time. The frame timer sleeps meanwhile; the model
// (scroll position, frame count) still takes every tick, on the next pass of
// the loop, exactly as ticking would. Anything that makes the queued frames
// wrong is seen on that pass too, and they are drawn again in place.
#include "zintara/TunesView.h"

#include "kit/Clock.h"
#include "kit/RunLoop.h"
#include "kit/Timer.h"

#include <algorithm>

namespace {
// Frames queued ahead: a second's worth, as many as the queue's ring holds
// beside those it has just shown...
constexpr int kLeadSeconds = 1;
constexpr int kMaxLead = 40;
// ...topped up when a third of them is left.
constexpr int kRefillDivisor = 3;
// Faster than this, frames are drawn in their time: the queue's ring holds
// too few of them.
constexpr int kMaxFPS = 60;
} // namespace

TunesView::Course TunesView::course() const
{
    Course c;
    c.paint = paintState(0.0f);
    c.scrollSpeed = scrollSpeed;
    c.interval = timer ? timer->timeInterval() : 0.0;
    c.inert = ticksAreInert();
    c.scrollingDisabled = scrollingDisabled;
    return c;
}

int TunesView::leadTicks() const
{
    return std::clamp(fps * kLeadSeconds, 2, kMaxLead);
}

bool TunesView::mayRunAhead()
{
    // Only a line that scrolls needs a frame a tick. Scrolling disabled, the
    // marquee draws on refresh ticks alone, and sleeping serves it better.
    if (!timer || !timer->isValid() || scrollingDisabled || isAsleep() || ticksAreInert() || fps > kMaxFPS)
        return false;
    const PaintState now = paintState();
    if (!now.line || now.image == 0 || now.stands || now.staticTag)
        return false;
    // Refused once, not asked again until something changes.
    if (m_aheadRefused && *m_aheadRefused == course())
        return false;
    return canQueueFrames();
}

void TunesView::runAhead()
{
    if (!mayRunAhead()) {
        stopRunningAhead();
        return;
    }
    if (!queueAhead()) {
        refuseAhead();
        return;
    }
    if (!isRunningAhead()) {
        timer->suspend();
        m_aheadObserver = kit::RunLoop::main().addObserver([this] { aheadPass(); });
    }
    armAheadAlarm();
}

bool TunesView::queueAhead()
{
    const double interval = timer->timeInterval();
    const double next = timer->fireDate();
    const Course now = course();
    const bool standing = m_queuedCourse && queuedFramesInPlace();
    const bool redraw = standing && (*m_queuedCourse != now || m_aheadMoved);
    const double through = standing && !redraw ? m_queuedThrough : 0.0;

    const float keptOffset = offset;
    const std::int32_t keptCount = frameCount;
    // The first frame drawn here is drawn whole; those after it differ
    // from it only where the line scrolls.
    bool whole = true;
    const auto queueTick = [&](double date) {
        const bool queued = whole ? queueFrame(date) : queueFrame(date, scrollingPart());
        whole = !queued;
        return queued;
    };
    // The present tick's frame too when redrawing: its copy may still wait.
    bool queued = !redraw || queueTick(next - interval);
    for (int tick = 0; queued && tick < leadTicks(); ++tick) {
        advance();
        const double date = next + tick * interval;
        if (date <= through + interval / 2)
            continue; // queued before, and still right
        queued = queueTick(date);
        if (queued)
            m_queuedThrough = date;
    }
    flushQueuedFrames();
    offset = keptOffset;
    frameCount = keptCount;
    m_queuedCourse = now;
    m_aheadMoved = false;
    m_aheadOffset = offset;
    m_aheadFrameCount = frameCount;
    return queued;
}

void TunesView::aheadPass()
{
    // Written from outside between passes: the queued frames start from a
    // position that is no more.
    if (offset != m_aheadOffset || frameCount != m_aheadFrameCount)
        m_aheadMoved = true;
    takeTicksShownAhead();
    if (screenIsBehind(offset))
        setNeedsDisplay(true);
    if (!mayRunAhead()) {
        stopRunningAhead();
        sleepIfIdle();
        return;
    }
    const double now = kit::Clock::current().now();
    const double low = m_queuedThrough - (leadTicks() / kRefillDivisor) * timer->timeInterval();
    if (!m_queuedCourse || *m_queuedCourse != course() || m_aheadMoved || !queuedFramesInPlace() || now >= low) {
        if (!queueAhead()) {
            refuseAhead();
            return;
        }
    }
    armAheadAlarm();
}

void TunesView::takeTicksShownAhead()
{
    const double first = timer->fireDate();
    const double interval = timer->timeInterval();
    const long long ticks = timer->takeFiringsThrough(kit::Clock::current().now());
    if (ticks <= 0)
        return;
    for (long long tick = 0; tick < ticks; ++tick)
        advance();
    // The server put up the last tick's frame if one was queued for it and
    // nothing has changed since it was drawn.
    const double last = first + static_cast<double>(ticks - 1) * interval;
    const bool shown = m_queuedCourse && *m_queuedCourse == course() && !m_aheadMoved && queuedFramesInPlace()
                       && last <= m_queuedThrough + interval / 2;
    if (shown)
        m_shown = paintState();
    else
        m_shown.reset();
    m_aheadOffset = offset;
    m_aheadFrameCount = frameCount;
}

void TunesView::armAheadAlarm()
{
    const double interval = timer->timeInterval();
    const double date
        = std::max(m_queuedThrough - (leadTicks() / kRefillDivisor) * interval, timer->fireDate());
    if (m_aheadAlarm && m_aheadAlarm->isValid() && m_aheadAlarm->fireDate() == date)
        return;
    if (m_aheadAlarm)
        m_aheadAlarm->invalidate();
    // The alarm only wakes the loop; the observer's pass does the work.
    m_aheadAlarm = std::make_shared<kit::Timer>(date - kit::Clock::current().now(), [](kit::Timer&) {}, false);
    m_aheadAlarm->setFireDate(date);
    for (kit::RunLoopMode mode : {kit::RunLoopMode::Default, kit::RunLoopMode::EventTracking,
                                  kit::RunLoopMode::ModalPanel})
        kit::RunLoop::main().addTimer(m_aheadAlarm, mode);
}

void TunesView::refuseAhead()
{
    m_aheadRefused = course();
    stopRunningAhead();
}

void TunesView::stopRunningAhead(bool redraw)
{
    if (m_queuedCourse) {
        cancelQueuedFrames();
        m_queuedCourse.reset();
        m_aheadMoved = false;
        m_queuedThrough = 0.0;
        if (redraw) {
            m_shown.reset();
            setNeedsDisplay(true);
        }
    }
    if (!isRunningAhead())
        return;
    kit::RunLoop::main().removeObserver(m_aheadObserver);
    m_aheadObserver = 0;
    if (m_aheadAlarm)
        m_aheadAlarm->invalidate();
    m_aheadAlarm.reset();
    if (timer) {
        takeTicksShownAhead();
        timer->resume();
    }
}
