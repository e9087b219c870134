// Running ahead: while the line scrolls steadily, the frames of the coming
// ticks are drawn in a batch and queued with the display server, which puts
// each on screen in its time. The frame timer sleeps meanwhile; the model
// (scroll position, frame count) still takes every tick, on the next pass of
// the loop, exactly as ticking would. A setter that changes what the frames
// show, or moves the line, says so; on that pass the queued frames are drawn
// again in place.
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

int TunesView::leadTicks() const
{
    return std::clamp(m_fps * kLeadSeconds, 2, kMaxLead);
}

bool TunesView::mayRunAhead()
{
    // Only a line that scrolls needs a frame a tick. Scrolling disabled, the
    // marquee draws on refresh ticks alone, and sleeping serves it better.
    if (!m_timer || !m_timer->isValid() || m_scrollingDisabled || isAsleep() || ticksAreInert() || m_fps > kMaxFPS)
        return false;
    const PaintState now = paintState();
    if (!now.line || now.image == 0 || now.stands || now.staticTag)
        return false;
    // Refused once, not asked again until something changes.
    if (m_aheadRefused)
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
        m_timer->suspend();
        m_aheadObserver = kit::RunLoop::main().addObserver([this] { aheadPass(); });
    }
    armAheadAlarm();
}

bool TunesView::queueAhead()
{
    const double interval = m_timer->timeInterval();
    const double next = m_timer->fireDate();
    const bool standing = m_aheadQueued && queuedFramesInPlace();
    const bool redraw = standing && (m_aheadChanged || m_aheadMoved);
    const double through = standing && !redraw ? m_queuedThrough : 0.0;

    const float keptOffset = m_offset;
    const std::int32_t keptCount = m_frameCount;
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
    m_offset = keptOffset;
    m_frameCount = keptCount;
    m_aheadQueued = true;
    m_aheadChanged = false;
    m_aheadMoved = false;
    return queued;
}

void TunesView::aheadPass()
{
    takeTicksShownAhead();
    if (screenIsBehind(m_offset))
        setNeedsDisplay(true);
    if (!mayRunAhead()) {
        stopRunningAhead();
        sleepIfIdle();
        return;
    }
    const double now = kit::Clock::current().now();
    const double low = m_queuedThrough - (leadTicks() / kRefillDivisor) * m_timer->timeInterval();
    if (!m_aheadQueued || m_aheadChanged || m_aheadMoved || !queuedFramesInPlace() || now >= low) {
        if (!queueAhead()) {
            refuseAhead();
            return;
        }
    }
    armAheadAlarm();
}

void TunesView::takeTicksShownAhead()
{
    const double first = m_timer->fireDate();
    const double interval = m_timer->timeInterval();
    const long long ticks = m_timer->takeFiringsThrough(kit::Clock::current().now());
    if (ticks <= 0)
        return;
    for (long long tick = 0; tick < ticks; ++tick)
        advance();
    // The server put up the last tick's frame if one was queued for it and
    // nothing has changed since it was drawn.
    const double last = first + static_cast<double>(ticks - 1) * interval;
    const bool shown = m_aheadQueued && !m_aheadChanged && !m_aheadMoved && queuedFramesInPlace()
                       && last <= m_queuedThrough + interval / 2;
    if (shown)
        m_shown = paintState();
    else
        m_shown.reset();
}

void TunesView::armAheadAlarm()
{
    const double interval = m_timer->timeInterval();
    const double date
        = std::max(m_queuedThrough - (leadTicks() / kRefillDivisor) * interval, m_timer->fireDate());
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
    m_aheadRefused = true;
    stopRunningAhead();
}

void TunesView::stopRunningAhead(bool redraw)
{
    if (m_aheadQueued) {
        cancelQueuedFrames();
        m_aheadQueued = false;
        m_aheadChanged = false;
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
    if (m_timer) {
        takeTicksShownAhead();
        m_timer->resume();
    }
}
