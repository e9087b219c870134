#include "kit/Timer.h"

#include "kit/Clock.h"
#include "kit/RunLoop.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {
// The platform's floor for a timer interval; a zero interval would spin.
constexpr double kMinimumInterval = 0.0001;
}

Timer::Timer(double interval, Action action, bool repeats)
    : m_interval(interval > kMinimumInterval ? interval : kMinimumInterval)
    , m_fireDate(Clock::current().now() + m_interval)
    , m_action(std::move(action))
    , m_repeats(repeats)
{
}

std::shared_ptr<Timer> Timer::scheduledTimerWithTimeInterval(double interval, Action action, bool repeats)
{
    auto timer = std::make_shared<Timer>(interval, std::move(action), repeats);
    RunLoop::main().addTimer(timer, RunLoopMode::Default);
    return timer;
}

void Timer::invalidate()
{
    if (!m_valid)
        return;
    m_valid = false;
    // Drop the action now: it may hold the only path to its target.
    m_action = nullptr;
}

void Timer::suspend()
{
    if (m_suspended || !m_valid)
        return;
    m_suspended = true;
    RunLoop::main().rearm();
}

void Timer::resume()
{
    if (!m_suspended)
        return;
    takeMissedFirings();
    m_suspended = false;
    RunLoop::main().rearm();
}

long long Timer::takeMissedFirings()
{
    return takeFiringsThrough(Clock::current().now());
}

long long Timer::takeFiringsThrough(double now)
{
    if (!m_valid || m_fireDate > now)
        return 0;
    long long count = static_cast<long long>(std::floor((now - m_fireDate) / m_interval)) + 1;
    m_fireDate += static_cast<double>(count) * m_interval;
    while (m_fireDate <= now) { // rounding at an exact multiple
        m_fireDate += m_interval;
        ++count;
    }
    return m_repeats ? count : std::min(count, 1LL);
}

void Timer::fire()
{
    if (!m_valid)
        return;
    auto keepAlive = shared_from_this();
    if (m_repeats) {
        const double now = Clock::current().now();
        const double behind = now - m_fireDate;
        const double steps = behind >= 0 ? std::floor(behind / m_interval) + 1 : 0;
        m_fireDate += steps * m_interval;
        if (m_fireDate <= now) // rounding at an exact multiple
            m_fireDate += m_interval;
    }
    Action action = m_action; // the action may invalidate this timer
    if (action)
        action(*this);
    if (!m_repeats)
        invalidate();
}

} // namespace kit
