#pragma once

#include <functional>
#include <memory>

namespace kit {

// A repeating (or one-shot) timer. The run loop holds it from scheduling
// until `invalidate`; owners may keep the shared pointer to invalidate it.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Action = std::function<void(Timer&)>;

    Timer(double interval, Action action, bool repeats);

    // Creates a timer due `interval` seconds from now and schedules it in the
    // default mode of the main run loop.
    static std::shared_ptr<Timer> scheduledTimerWithTimeInterval(double interval, Action action, bool repeats);

    // Stops the timer for good; it is never fired again. Safe to call twice.
    void invalidate();
    bool isValid() const { return m_valid; }

    double timeInterval() const { return m_interval; }
    double fireDate() const { return m_fireDate; }
    void setFireDate(double date) { m_fireDate = date; }
    bool repeats() const { return m_repeats; }

    // Runs the action now and, for a repeating timer, moves the fire date to
    // the first multiple of the interval after the present; missed firings
    // are not replayed. A one-shot timer is invalidated after firing.
    void fire();

    // A suspended timer stays scheduled and keeps its cadence, but the run
    // loop neither fires it nor wakes for it. `takeMissedFirings` counts the
    // fire dates that have come since (each once) and moves the fire date
    // past the present, so an owner can catch up on what it skipped;
    // `resume` drops those not taken and lets it fire again.
    void suspend();
    void resume();
    bool isSuspended() const { return m_suspended; }
    long long takeMissedFirings();
    // The same for the fire dates up to `date`, which may lie ahead.
    long long takeFiringsThrough(double date);

private:
    double m_interval;
    double m_fireDate;
    Action m_action;
    bool m_repeats;
    bool m_valid = true;
    bool m_suspended = false;
};

} // namespace kit
