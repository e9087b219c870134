#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kit {

class Timer;

enum class RunLoopMode { Default, EventTracking, ModalPanel };

// The main thread's run loop: timers fire only while the loop runs in one of
// the modes they were added for. The current mode is a stack: modal runs push
// ModalPanel, menu tracking pushes EventTracking.
class RunLoop {
public:
    static RunLoop& main();
    static RunLoop& currentRunLoop() { return main(); }

    void addTimer(std::shared_ptr<Timer> timer, RunLoopMode mode);

    RunLoopMode currentMode() const;
    void pushMode(RunLoopMode mode);
    void popMode();

    // Fires, in fire-date order, each valid timer of the current mode whose
    // fire date has come. A timer that fell due while its mode was away fires
    // once now.
    void fireDueTimers();

    // Runs the loop in the current mode until the clock reads `date`. Under a
    // manual clock this steps the clock from one due timer to the next (so an
    // hour of ticks runs in an instant); under the system clock it processes
    // the application's events until then.
    void runUntil(double date);
    void runFor(double seconds);

    // The earliest fire date among the valid timers of the current mode.
    std::optional<double> nextFireDate() const;

    // Timers scheduled for `mode` and still valid (tests and diagnostics).
    std::size_t timerCount(RunLoopMode mode) const;

    // Observers are called whenever the loop is about to wait (after it ran
    // timers or events) and before and after each pass over due timers, so
    // that state written directly between passes is seen before the loop
    // sleeps. An observer may add or remove observers.
    // Display observers run after all others, so that they see what the
    // others asked for in the same call.
    using Observer = std::function<void()>;
    int addObserver(Observer observer, bool display = false);
    void removeObserver(int id);
    void notifyObservers();

    // True while a pass over due timers runs, or observers do: what is
    // asked meanwhile is seen by the display observers before the loop
    // waits.
    bool isInPass() const { return m_firing > 0; }

    // Drops every timer (between tests).
    void reset();

    // Re-arms the platform timer for the next due timer; called whenever the
    // set of timers, a fire date or the mode changes.
    void rearm();

private:
    RunLoop();
    ~RunLoop();

    struct Entry {
        std::shared_ptr<Timer> timer;
        unsigned modes; // bit per RunLoopMode
    };
    bool inCurrentMode(const Entry& entry) const;
    void prune();

    std::vector<Entry> m_entries;
    struct ObserverEntry {
        int id;
        Observer observer;
        bool display;
    };
    std::vector<ObserverEntry> m_observers;
    int m_nextObserver = 1;
    int m_firing = 0;
    std::vector<RunLoopMode> m_modes;
    struct Platform;
    std::unique_ptr<Platform> m_platform;
};

// Pushes a mode for the lifetime of the object.
class RunLoopModeScope {
public:
    explicit RunLoopModeScope(RunLoopMode mode) { RunLoop::main().pushMode(mode); }
    ~RunLoopModeScope() { RunLoop::main().popMode(); }
    RunLoopModeScope(const RunLoopModeScope&) = delete;
    RunLoopModeScope& operator=(const RunLoopModeScope&) = delete;
};

} // namespace kit
