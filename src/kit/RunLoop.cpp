#include "kit/RunLoop.h"

#include "kit/Clock.h"
#include "kit/Timer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kit {

namespace {
unsigned bitFor(RunLoopMode mode)
{
    return 1u << static_cast<unsigned>(mode);
}
}

// One single-shot QTimer armed for the next due timer of the current mode.
struct RunLoop::Platform {
    QTimer qtimer;
    QPointer<QAbstractEventDispatcher> watched;
};

RunLoop& RunLoop::main()
{
    // Never destroyed: its platform timer must not outlive the application
    // object in a static destructor.
    static RunLoop* loop = new RunLoop;
    return *loop;
}

RunLoop::RunLoop()
    : m_modes{RunLoopMode::Default}
    , m_platform(std::make_unique<Platform>())
{
    m_platform->qtimer.setSingleShot(true);
    m_platform->qtimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_platform->qtimer, &QTimer::timeout, [this] { fireDueTimers(); });
}

RunLoop::~RunLoop() = default;

void RunLoop::addTimer(std::shared_ptr<Timer> timer, RunLoopMode mode)
{
    if (!timer || !timer->isValid())
        return;
    for (Entry& entry : m_entries) {
        if (entry.timer == timer) {
            entry.modes |= bitFor(mode);
            rearm();
            return;
        }
    }
    m_entries.push_back({std::move(timer), bitFor(mode)});
    rearm();
}

RunLoopMode RunLoop::currentMode() const
{
    return m_modes.back();
}

void RunLoop::pushMode(RunLoopMode mode)
{
    m_modes.push_back(mode);
    rearm();
}

void RunLoop::popMode()
{
    if (m_modes.size() > 1)
        m_modes.pop_back();
    rearm();
}

bool RunLoop::inCurrentMode(const Entry& entry) const
{
    return entry.timer->isValid() && !entry.timer->isSuspended() && (entry.modes & bitFor(currentMode()));
}

void RunLoop::prune()
{
    std::erase_if(m_entries, [](const Entry& entry) { return !entry.timer->isValid(); });
}

void RunLoop::fireDueTimers()
{
    notifyObservers();
    const double now = Clock::current().now();
    // Collect first: an action may add, invalidate or reorder timers.
    std::vector<std::shared_ptr<Timer>> due;
    for (const Entry& entry : m_entries) {
        if (inCurrentMode(entry) && entry.timer->fireDate() <= now)
            due.push_back(entry.timer);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a->fireDate() < b->fireDate(); });
    ++m_firing;
    for (const auto& timer : due) {
        // Each fires at most once per pass, and only if still due and still
        // wanted in the mode now current (a modal run may have begun).
        const bool stillHere = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
            return e.timer == timer && inCurrentMode(e);
        });
        if (stillHere && timer->fireDate() <= Clock::current().now())
            timer->fire();
    }
    --m_firing;
    prune();
    notifyObservers();
    rearm();
}

int RunLoop::addObserver(Observer observer, bool display)
{
    // The dispatcher outlives no application; watch the one in force.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && m_platform->watched != dispatcher) {
        m_platform->watched = dispatcher;
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &m_platform->qtimer,
                         [this] { notifyObservers(); });
    }
    const int id = m_nextObserver++;
    m_observers.push_back({id, std::move(observer), display});
    return id;
}

void RunLoop::removeObserver(int id)
{
    std::erase_if(m_observers, [id](const ObserverEntry& entry) { return entry.id == id; });
}

void RunLoop::notifyObservers()
{
    if (m_observers.empty())
        return;
    ++m_firing;
    const auto observers = m_observers;
    for (const bool display : {false, true}) {
        for (const ObserverEntry& entry : observers) {
            if (entry.display != display)
                continue;
            const bool stillHere = std::any_of(m_observers.begin(), m_observers.end(),
                                               [&](const ObserverEntry& e) { return e.id == entry.id; });
            if (stillHere)
                entry.observer();
        }
    }
    --m_firing;
}

std::optional<double> RunLoop::nextFireDate() const
{
    std::optional<double> next;
    for (const Entry& entry : m_entries) {
        if (inCurrentMode(entry) && (!next || entry.timer->fireDate() < *next))
            next = entry.timer->fireDate();
    }
    return next;
}

std::size_t RunLoop::timerCount(RunLoopMode mode) const
{
    return static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.timer->isValid() && (e.modes & bitFor(mode));
    }));
}

void RunLoop::rearm()
{
    QTimer& qtimer = m_platform->qtimer;
    const std::optional<double> next = nextFireDate();
    if (!next || Clock::current().isManual() || !QCoreApplication::instance()) {
        qtimer.stop();
        return;
    }
    const double delay = (*next - Clock::current().now()) * 1000.0;
    const double clamped = std::clamp(std::ceil(delay), 0.0, static_cast<double>(INT_MAX));
    qtimer.start(static_cast<int>(clamped));
}

void RunLoop::runUntil(double date)
{
    Clock& clock = Clock::current();
    if (clock.isManual()) {
        auto& manual = static_cast<ManualClock&>(clock);
        notifyObservers();
        for (;;) {
            const std::optional<double> next = nextFireDate();
            if (!next || *next > date)
                break;
            if (*next > manual.now())
                manual.setNow(*next);
            fireDueTimers();
        }
        if (date > manual.now())
            manual.setNow(date);
        notifyObservers();
        return;
    }
    while (clock.now() < date) {
        const double remaining = std::ceil((date - clock.now()) * 1000.0);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(std::min(remaining, double(INT_MAX))), Qt::PreciseTimer, &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
}

void RunLoop::runFor(double seconds)
{
    runUntil(Clock::current().now() + seconds);
}

void RunLoop::reset()
{
    for (Entry& entry : m_entries)
        entry.timer->invalidate();
    m_entries.clear();
    m_modes.assign(1, RunLoopMode::Default);
    rearm();
}

} // namespace kit
