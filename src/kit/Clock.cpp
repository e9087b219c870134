#include "kit/Clock.h"

#include <chrono>
#include <thread>

namespace kit {

namespace {
Clock* g_installed = nullptr;
}

Clock& Clock::current()
{
    static SystemClock systemClock;
    return g_installed ? *g_installed : systemClock;
}

void Clock::install(Clock* clock)
{
    g_installed = clock;
}

double SystemClock::now() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepUntil(double date)
{
    const double wait = date - now();
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
}

void ManualClock::sleepUntil(double date)
{
    if (date > m_now)
        m_now = date;
}

} // namespace kit
