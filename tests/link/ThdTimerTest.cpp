#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>

#include <memory>
#include <thread>
#include <vector>

#include "TimerPump.h"
#include "link/ThdTimer.h"

using namespace quennel;
using namespace quennel::test;
using namespace std::chrono_literals;

namespace {

// Generous: only catches a worker that does not end or a tick that never comes.
constexpr Ms HangLimit = 2s;

struct TickLog {
    std::vector<Clock::time_point> Times;
    std::vector<std::thread::id> Threads;
    bool DisableOnTick = false;

    void Attach(TThreadedTimer& timer) {
        timer.SetOnTimer([this](TThreadedTimer& sender) {
            Times.push_back(Clock::now());
            Threads.push_back(std::this_thread::get_id());
            if (DisableOnTick)
                sender.SetEnabled(false);
        });
    }
    int Count() const { return static_cast<int>(Times.size()); }
};

// Whether this process may put a thread under the real-time FIFO policy.
bool RealTimeSchedulingAllowed() {
    bool allowed = false;
    std::thread probe([&] {
        sched_param param{};
        param.sched_priority = 1;
        allowed = sched_setscheduler(0, SCHED_FIFO, &param) == 0;
    });
    probe.join();
    return allowed;
}

} // namespace

TEST(ThreadPriority, TableMapsEachStepBothWaysAndUnknownValuesToNormal) {
    const std::vector<std::pair<TThreadPriority, int>> table{
        {TThreadPriority::tpIdle, -15},   {TThreadPriority::tpLowest, -2}, {TThreadPriority::tpLower, -1},
        {TThreadPriority::tpNormal, 0},   {TThreadPriority::tpHigher, 1},  {TThreadPriority::tpHighest, 2},
        {TThreadPriority::tpTimeCritical, 15}};
    for (const auto& [priority, platform] : table) {
        EXPECT_EQ(PlatformPriority(priority), platform);
        EXPECT_EQ(ThreadPriorityFromPlatform(platform), priority);
    }
    for (int unknown : {-16, -14, -3, 3, 14, 16})
        EXPECT_EQ(ThreadPriorityFromPlatform(unknown), TThreadPriority::tpNormal) << unknown;
}

TEST(ThreadedTimer, NewTimerIsDisabledAtOneSecondWithoutHandler) {
    FakeConsole console;
    TThreadedTimer timer(console);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000);
    EXPECT_FALSE(timer.OnTimer());
    if (getpriority(PRIO_PROCESS, 0) == 0) {
        EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpNormal);
    }
}

TEST(ThreadedTimer, ChangingTheIntervalDisablesTheSameIntervalDoesNot) {
    FakeConsole console;
    TThreadedTimer timer(console);
    timer.SetInterval(500);
    timer.SetEnabled(true);
    timer.SetInterval(500);
    EXPECT_TRUE(timer.Enabled());
    timer.SetInterval(400);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 400);
}

TEST(ThreadedTimer, ZeroIntervalEnablesWithoutTicking) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    PumpFor(console, 60ms);
    EXPECT_EQ(ticks.Count(), 0);
}

TEST(ThreadedTimer, TicksRunOnThePumpingThreadOnlyWhenItPumps) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetInterval(5);
    timer.SetEnabled(true);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ticks.Count(), 0);
    ASSERT_TRUE(PumpUntil(console, [&] { return ticks.Count() >= 2; }, HangLimit));
    for (auto id : ticks.Threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(ThreadedTimer, KeepsTickingAFullIntervalApartWhileEnabled) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetInterval(20);
    const auto enabledAt = Clock::now();
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil(console, [&] { return ticks.Count() >= 3; }, HangLimit));
    EXPECT_GE(ticks.Times[0] - enabledAt, 20ms);
    EXPECT_GE(ticks.Times[1] - ticks.Times[0], 20ms);
    EXPECT_GE(ticks.Times[2] - ticks.Times[1], 20ms);
}

TEST(ThreadedTimer, HandlerThatDisablesEndsTheTicking) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.DisableOnTick = true;
    ticks.Attach(timer);
    timer.SetInterval(10);
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil(console, [&] { return ticks.Count() == 1; }, HangLimit));
    PumpFor(console, 80ms);
    EXPECT_EQ(ticks.Count(), 1);
    EXPECT_FALSE(timer.Enabled());
}

TEST(ThreadedTimer, TickTimedBeforeADisableNeverArrives) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetInterval(10);
    timer.SetEnabled(true);
    std::this_thread::sleep_for(40ms); // the worker's tick now waits in the queue
    timer.SetEnabled(false);
    PumpFor(console, 60ms);
    EXPECT_EQ(ticks.Count(), 0);
}

TEST(ThreadedTimer, EnablingAgainStartsAFullInterval) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetInterval(40);
    timer.SetEnabled(true);
    std::this_thread::sleep_for(60ms); // a tick of the first run is queued
    timer.SetEnabled(false);
    const auto enabledAt = Clock::now();
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil(console, [&] { return ticks.Count() >= 1; }, HangLimit));
    EXPECT_GE(ticks.Times[0] - enabledAt, 40ms);
}

TEST(ThreadedTimer, DestructionEndsTheWorkerAtOnceInEveryState) {
    FakeConsole console;
    TickLog ticks;
    auto timeDestruction = [](std::unique_ptr<TThreadedTimer> timer) {
        const auto start = Clock::now();
        timer.reset();
        return ElapsedSince(start);
    };

    EXPECT_LT(timeDestruction(std::make_unique<TThreadedTimer>(console)), HangLimit) << "never ran";

    auto ticked = std::make_unique<TThreadedTimer>(console);
    ticks.DisableOnTick = true;
    ticks.Attach(*ticked);
    ticked->SetInterval(5);
    ticked->SetEnabled(true);
    ASSERT_TRUE(PumpUntil(console, [&] { return ticks.Count() == 1; }, HangLimit));
    EXPECT_LT(timeDestruction(std::move(ticked)), HangLimit) << "disabled after a tick";

    auto waiting = std::make_unique<TThreadedTimer>(console);
    waiting->SetInterval(60000);
    waiting->SetEnabled(true);
    EXPECT_LT(timeDestruction(std::move(waiting)), HangLimit) << "inside a long wait";
}

TEST(ThreadedTimer, DestructionWithATickQueuedEndsWithoutCallingTheHandler) {
    FakeConsole console;
    TickLog ticks;
    auto timer = std::make_unique<TThreadedTimer>(console);
    ticks.Attach(*timer);
    timer->SetInterval(5);
    timer->SetEnabled(true);
    std::this_thread::sleep_for(40ms); // the worker is blocked handing its tick over
    const auto start = Clock::now();
    timer.reset();
    EXPECT_LT(ElapsedSince(start), HangLimit);
    EXPECT_EQ(ticks.Count(), 0);
}

TEST(ThreadedTimer, PriorityReadsBackWhatTheWorkerReallyHasAndTicksGoOn) {
    FakeConsole console;
    TThreadedTimer timer(console);
    TickLog ticks;
    ticks.Attach(timer);
    timer.SetThreadPriority(TThreadPriority::tpLowest); // lowering is always allowed
    EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpLowest);

    timer.SetThreadPriority(TThreadPriority::tpTimeCritical);
    if (RealTimeSchedulingAllowed()) {
        EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpTimeCritical);
    } else {
        EXPECT_NE(timer.ThreadPriority(), TThreadPriority::tpTimeCritical);
    }

    timer.SetThreadPriority(TThreadPriority::tpLowest);
    EXPECT_EQ(timer.ThreadPriority(), TThreadPriority::tpLowest);
    timer.SetInterval(5);
    timer.SetEnabled(true);
    EXPECT_TRUE(PumpUntil(console, [&] { return ticks.Count() >= 1; }, HangLimit));
}
