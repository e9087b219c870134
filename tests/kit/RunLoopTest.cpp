#include "kit/Application.h"
#include "kit/RunLoop.h"
#include "kit/Timer.h"
#include "kit/Window.h"
#include "support/TestEnvironment.h"

#include <QTimer>
#include <QWidget>

#include <string>
#include <vector>

using kit::RunLoop;
using kit::RunLoopMode;
using kit::Timer;

namespace {

class RunLoopTest : public testing_support::KitTest {
protected:
    RunLoop& loop = RunLoop::main();

    std::shared_ptr<Timer> counting(double interval, int& count, bool repeats = true)
    {
        return Timer::scheduledTimerWithTimeInterval(interval, [&count](Timer&) { ++count; }, repeats);
    }
};

TEST_F(RunLoopTest, RepeatingTimerKeepsItsRhythm)
{
    int count = 0;
    auto timer = counting(0.5, count);
    runFor(0.49);
    EXPECT_EQ(count, 0);
    runFor(0.01);
    EXPECT_EQ(count, 1);
    runFor(10.0);
    EXPECT_EQ(count, 21);
    // Fire dates stay on the original grid.
    EXPECT_DOUBLE_EQ(timer->fireDate(), 1000.0 + 11.0);
}

TEST_F(RunLoopTest, OneShotTimerFiresOnceAndIsInvalidated)
{
    int count = 0;
    auto timer = counting(1.0, count, false);
    runFor(5.0);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(loop.timerCount(RunLoopMode::Default), 0u);
}

TEST_F(RunLoopTest, InvalidateStopsForGoodEvenFromItsOwnAction)
{
    int count = 0;
    auto timer = Timer::scheduledTimerWithTimeInterval(
        1.0,
        [&count](Timer& t) {
            if (++count == 3)
                t.invalidate();
        },
        true);
    runFor(10.0);
    EXPECT_EQ(count, 3);
    timer->invalidate(); // twice is harmless
    runFor(10.0);
    EXPECT_EQ(count, 3);
}

TEST_F(RunLoopTest, LateTimerFiresOnceThenResumesOnTheGrid)
{
    int count = 0;
    auto timer = counting(1.0, count);
    // The thread was blocked for 5.5 s: missed firings are not replayed.
    clock.advance(5.5);
    loop.fireDueTimers();
    EXPECT_EQ(count, 1);
    EXPECT_DOUBLE_EQ(timer->fireDate(), 1006.0);
    loop.fireDueTimers();
    EXPECT_EQ(count, 1);
    runFor(0.5);
    EXPECT_EQ(count, 2);
}

TEST_F(RunLoopTest, TimerFiresOnlyInItsModesAndCatchesUpOnceOnReturn)
{
    int defaultOnly = 0;
    int everyMode = 0;
    counting(1.0, defaultOnly);
    auto frame = counting(1.0, everyMode);
    loop.addTimer(frame, RunLoopMode::EventTracking);
    loop.addTimer(frame, RunLoopMode::ModalPanel);

    loop.pushMode(RunLoopMode::ModalPanel);
    runFor(5.0);
    EXPECT_EQ(defaultOnly, 0);
    EXPECT_EQ(everyMode, 5);
    loop.popMode();

    // Back in the default mode: the poll-like timer fires once at once.
    loop.fireDueTimers();
    EXPECT_EQ(defaultOnly, 1);
    runFor(1.0);
    EXPECT_EQ(defaultOnly, 2);
    EXPECT_EQ(everyMode, 6);
}

TEST_F(RunLoopTest, ModesNestAsAStack)
{
    EXPECT_EQ(loop.currentMode(), RunLoopMode::Default);
    {
        kit::RunLoopModeScope tracking(RunLoopMode::EventTracking);
        {
            kit::RunLoopModeScope modal(RunLoopMode::ModalPanel);
            EXPECT_EQ(loop.currentMode(), RunLoopMode::ModalPanel);
        }
        EXPECT_EQ(loop.currentMode(), RunLoopMode::EventTracking);
    }
    EXPECT_EQ(loop.currentMode(), RunLoopMode::Default);
    loop.popMode(); // the default mode is never popped
    EXPECT_EQ(loop.currentMode(), RunLoopMode::Default);
}

TEST_F(RunLoopTest, BlockingSleepMovesTimeWithoutFiring)
{
    int count = 0;
    counting(0.25, count);
    clock.sleepFor(1.0);
    EXPECT_EQ(count, 0);
    EXPECT_DOUBLE_EQ(clock.now(), 1001.0);
}

TEST_F(RunLoopTest, TimersScheduledByAnActionWaitForTheirOwnDate)
{
    std::vector<double> fired;
    std::shared_ptr<Timer> inner;
    Timer::scheduledTimerWithTimeInterval(
        1.0,
        [&](Timer&) {
            fired.push_back(clock.now());
            inner = Timer::scheduledTimerWithTimeInterval(
                0.5, [&](Timer&) { fired.push_back(clock.now()); }, false);
        },
        false);
    runFor(2.0);
    EXPECT_EQ(fired, (std::vector<double>{1001.0, 1001.5}));
}

TEST_F(RunLoopTest, ModalRunFiresOnlyModalTimersUntilStopped)
{
    int poll = 0;
    int frame = 0;
    counting(0.5, poll);
    auto frameTimer = counting(0.5, frame);
    loop.addTimer(frameTimer, RunLoopMode::ModalPanel);

    // Inside the modal run the test itself moves time on, then ends it.
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(loop.currentMode(), RunLoopMode::ModalPanel);
        runFor(2.0);
        kit::Application::sharedApplication().stopModal();
    });
    kit::Window modalWindow(new QWidget);
    const int response = kit::Application::sharedApplication().runModalForWindow(modalWindow);
    EXPECT_EQ(response, kit::NSModalResponseStop);
    EXPECT_EQ(frame, 4);
    EXPECT_EQ(poll, 0);
    EXPECT_EQ(loop.currentMode(), RunLoopMode::Default);
    EXPECT_FALSE(kit::Application::sharedApplication().isRunningModal());
}

TEST_F(RunLoopTest, ASuspendedTimerKeepsItsCadenceAndCountsWhatItMissed)
{
    int count = 0;
    auto timer = counting(0.5, count);
    int other = 0;
    auto late = counting(3.0, other);
    runFor(1.0);
    EXPECT_EQ(count, 2);

    timer->suspend();
    EXPECT_EQ(loop.nextFireDate(), late->fireDate()) << "the loop no longer wakes for it";
    EXPECT_EQ(loop.timerCount(RunLoopMode::Default), 2u) << "it stays scheduled";
    runFor(1.25);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(timer->takeMissedFirings(), 2) << "1001.5 and 1002.0";
    EXPECT_EQ(timer->takeMissedFirings(), 0) << "each is counted once";
    runFor(0.25);
    EXPECT_EQ(timer->takeMissedFirings(), 1) << "1002.5, exactly now";

    timer->resume();
    runFor(0.49);
    EXPECT_EQ(count, 2);
    runFor(0.01);
    EXPECT_EQ(count, 3) << "back on its grid at 1003.0";
    EXPECT_DOUBLE_EQ(timer->fireDate(), 1003.5);
}

TEST_F(RunLoopTest, ObserversSeeEveryPassAndMayLeaveDuringOne)
{
    std::vector<std::string> seen;
    auto timer = Timer::scheduledTimerWithTimeInterval(
        1.0, [&seen](Timer&) { seen.push_back("fire"); }, true);
    int second = 0;
    const int first = loop.addObserver([&] { seen.push_back("observe"); });
    second = loop.addObserver([&] {
        seen.push_back("once");
        loop.removeObserver(second);
    });
    runFor(1.0);
    // Before the run, around the pass, and after it.
    EXPECT_EQ(seen, (std::vector<std::string>{"observe", "once", "observe", "fire", "observe", "observe"}));
    loop.removeObserver(first);
    seen.clear();
    runFor(1.0);
    EXPECT_EQ(seen, std::vector<std::string>{"fire"});
}

} // namespace
