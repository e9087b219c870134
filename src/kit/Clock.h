#pragma once

namespace kit {

// The one source of time for the program. Timers, the player's position and
// every blocking wait read it, so tests can install a ManualClock and move
// time by hand instead of sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    // Seconds since an arbitrary, fixed origin.
    virtual double now() const = 0;

    // Blocks the calling thread until `date`. Timers do not fire meanwhile,
    // exactly as when the main thread is busy.
    virtual void sleepUntil(double date) = 0;

    void sleepFor(double seconds) { sleepUntil(now() + seconds); }

    // A manual clock moves only when told; the run loop then never arms a
    // platform timer for it.
    virtual bool isManual() const { return false; }

    // The clock in force; a SystemClock unless a test installed another.
    static Clock& current();
    // Installs `clock` (not owned) as the current clock; nullptr restores the
    // system clock.
    static void install(Clock* clock);
};

class SystemClock final : public Clock {
public:
    double now() const override;
    void sleepUntil(double date) override;
};

// A clock that only moves when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : m_now(start) {}

    double now() const override { return m_now; }
    // A blocking wait just moves time forward.
    void sleepUntil(double date) override;
    bool isManual() const override { return true; }

    void advance(double seconds) { m_now += seconds; }
    void setNow(double date) { m_now = date; }

private:
    double m_now;
};

// Installs a clock for the lifetime of the object (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { Clock::install(&clock); }
    ~ScopedClock() { Clock::install(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

} // namespace kit
