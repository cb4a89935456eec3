#include "link/ThdTimer.h"

#include "TimerPump.h"
#include "link/ThreadScheduling.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sched.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

using namespace quennel;
using namespace quennel::test;
using namespace std::chrono_literals;

namespace {

// Generous: only catches a worker that does not end or a tick that never comes.
constexpr Ms HangLimit = 2s;

// A timer with its console, logging when and where its ticks arrive.
struct TimerRig {
    explicit TimerRig(bool disableOnTick = false) {
        Timer.SetOnTimer([this, disableOnTick](TThreadedTimer& sender) {
            Times.push_back(Clock::now());
            Threads.push_back(std::this_thread::get_id());
            if (disableOnTick)
                sender.SetEnabled(false);
        });
    }
    void Start(uint16_t interval) {
        Timer.SetInterval(interval);
        Timer.SetEnabled(true);
    }
    int Ticks() const { return static_cast<int>(Times.size()); }
    bool PumpUntilTicks(int count) {
        return PumpUntil(
            Console, [&] { return Ticks() >= count; }, HangLimit);
    }

    FakeConsole Console;
    TThreadedTimer Timer{Console};
    std::vector<Clock::time_point> Times;
    std::vector<std::thread::id> Threads;
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

Ms TimeDestruction(std::unique_ptr<TimerRig> rig) {
    const auto start = Clock::now();
    rig.reset();
    return ElapsedSince(start);
}

} // namespace

TEST(ThreadPriority, TableMapsEachStepBothWaysAndUnknownValuesToNormal) {
    const std::vector<std::pair<TThreadPriority, int>> table{
        {TThreadPriority::tpIdle, -15},       {TThreadPriority::tpLowest, -2},
        {TThreadPriority::tpLower, -1},       {TThreadPriority::tpNormal, 0},
        {TThreadPriority::tpHigher, 1},       {TThreadPriority::tpHighest, 2},
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
    TimerRig rig;
    rig.Start(500);
    rig.Timer.SetInterval(500);
    EXPECT_TRUE(rig.Timer.Enabled());
    rig.Timer.SetInterval(400);
    EXPECT_FALSE(rig.Timer.Enabled());
    EXPECT_EQ(rig.Timer.Interval(), 400);
}

TEST(ThreadedTimer, ZeroIntervalEnablesWithoutTicking) {
    TimerRig rig;
    rig.Start(0);
    EXPECT_TRUE(rig.Timer.Enabled());
    PumpFor(rig.Console, 60ms);
    EXPECT_EQ(rig.Ticks(), 0);
}

TEST(ThreadedTimer, TicksRunOnThePumpingThreadOnlyWhenItPumps) {
    TimerRig rig;
    rig.Start(5);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(rig.Ticks(), 0);
    ASSERT_TRUE(rig.PumpUntilTicks(2));
    for (auto id : rig.Threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(ThreadedTimer, KeepsTickingAFullIntervalApartWhileEnabled) {
    TimerRig rig;
    const auto enabledAt = Clock::now();
    rig.Start(20);
    ASSERT_TRUE(rig.PumpUntilTicks(3));
    EXPECT_GE(rig.Times[0] - enabledAt, 20ms);
    EXPECT_GE(rig.Times[1] - rig.Times[0], 20ms);
    EXPECT_GE(rig.Times[2] - rig.Times[1], 20ms);
}

TEST(ThreadedTimer, HandlerThatDisablesEndsTheTicking) {
    TimerRig rig(true);
    rig.Start(10);
    ASSERT_TRUE(rig.PumpUntilTicks(1));
    PumpFor(rig.Console, 80ms);
    EXPECT_EQ(rig.Ticks(), 1);
    EXPECT_FALSE(rig.Timer.Enabled());
}

TEST(ThreadedTimer, TickTimedBeforeADisableNeverArrives) {
    TimerRig rig;
    rig.Start(10);
    std::this_thread::sleep_for(40ms); // the worker's tick now waits in the queue
    rig.Timer.SetEnabled(false);
    PumpFor(rig.Console, 60ms);
    EXPECT_EQ(rig.Ticks(), 0);
}

TEST(ThreadedTimer, EnablingAgainStartsAFullInterval) {
    TimerRig rig;
    rig.Start(40);
    std::this_thread::sleep_for(60ms); // a tick of the first run is queued
    rig.Timer.SetEnabled(false);
    const auto enabledAt = Clock::now();
    rig.Timer.SetEnabled(true);
    ASSERT_TRUE(rig.PumpUntilTicks(1));
    EXPECT_GE(rig.Times[0] - enabledAt, 40ms);
}

TEST(ThreadedTimer, DestructionEndsTheWorkerAtOnceInEveryState) {
    EXPECT_LT(TimeDestruction(std::make_unique<TimerRig>()), HangLimit) << "never ran";

    auto ticked = std::make_unique<TimerRig>(true);
    ticked->Start(5);
    ASSERT_TRUE(ticked->PumpUntilTicks(1));
    EXPECT_LT(TimeDestruction(std::move(ticked)), HangLimit) << "disabled after a tick";

    auto waiting = std::make_unique<TimerRig>();
    waiting->Start(60000);
    EXPECT_LT(TimeDestruction(std::move(waiting)), HangLimit) << "inside a long wait";
}

TEST(ThreadedTimer, DestructionWithATickQueuedEndsWithoutCallingTheHandler) {
    FakeConsole console;
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>(console);
    timer->SetOnTimer([&](TThreadedTimer&) { ++ticks; });
    timer->SetInterval(5);
    timer->SetEnabled(true);
    std::this_thread::sleep_for(40ms); // the worker is blocked handing its tick over
    const auto start = Clock::now();
    timer.reset();
    EXPECT_LT(ElapsedSince(start), HangLimit);
    EXPECT_EQ(ticks, 0);
}

namespace {

// The one thread of this process other than the calling one.
pid_t OnlyOtherThread() {
    std::vector<pid_t> others;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        if (const pid_t thread = std::stoi(entry.path().filename().string()); thread != CurrentThreadId())
            others.push_back(thread);
    return others.size() == 1 ? others.front() : 0;
}

// How often thread has gone to sleep, as the kernel counts it.
long TimesAsleep(pid_t thread) {
    std::ifstream status("/proc/self/task/" + std::to_string(thread) + "/status");
    const std::string key = "voluntary_ctxt_switches:";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(key.size()));
    return -1;
}

// Waits until thread has stayed asleep for a while; returns its count then.
long TimesAsleepOnceSettled(pid_t thread) {
    long before = TimesAsleep(thread);
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(20ms);
        const long now = TimesAsleep(thread);
        if (now == before)
            return now;
        before = now;
    }
    return -1;
}

} // namespace

// The end of every wait: waking the worker as the tick returns would cost
// the message thread just as it ends a pulse; the next enable wakes it.
TEST(ThreadedTimer, ATickThatDisablesTheTimerLeavesTheWorkerAsleepUntilTheNextEnable) {
    TimerRig rig;
    const pid_t worker = OnlyOtherThread();
    ASSERT_NE(worker, 0);
    long asleepInTick = -1;
    rig.Timer.SetOnTimer([&](TThreadedTimer& sender) {
        rig.Times.push_back(Clock::now());
        asleepInTick = TimesAsleepOnceSettled(worker);
        sender.SetEnabled(false);
    });
    rig.Start(5);
    ASSERT_TRUE(rig.PumpUntilTicks(1));
    ASSERT_GE(asleepInTick, 0);
    PumpFor(rig.Console, 50ms);
    EXPECT_EQ(TimesAsleep(worker), asleepInTick) << "the worker was woken by a tick that disabled its timer";

    rig.Timer.SetEnabled(true);
    ASSERT_TRUE(rig.PumpUntilTicks(2));
    EXPECT_GE(rig.Times[1] - rig.Times[0], 5ms);
}

TEST(ThreadedTimer, PriorityReadsBackWhatTheWorkerReallyHasAndTicksGoOn) {
    TimerRig rig;
    rig.Timer.SetThreadPriority(TThreadPriority::tpLowest); // lowering is always allowed
    EXPECT_EQ(rig.Timer.ThreadPriority(), TThreadPriority::tpLowest);

    rig.Timer.SetThreadPriority(TThreadPriority::tpTimeCritical);
    if (RealTimeSchedulingAllowed()) {
        EXPECT_EQ(rig.Timer.ThreadPriority(), TThreadPriority::tpTimeCritical);
        // Each hand-over runs at normal priority; the worker's waits get the
        // raised one back once a tick on its way has been taken.
        rig.Start(2);
        ASSERT_TRUE(rig.PumpUntilTicks(3));
        rig.Timer.SetEnabled(false);
        PumpFor(rig.Console, 50ms);
        EXPECT_EQ(rig.Timer.ThreadPriority(), TThreadPriority::tpTimeCritical);
    } else {
        EXPECT_NE(rig.Timer.ThreadPriority(), TThreadPriority::tpTimeCritical);
    }

    rig.Timer.SetThreadPriority(TThreadPriority::tpLowest);
    EXPECT_EQ(rig.Timer.ThreadPriority(), TThreadPriority::tpLowest);
    rig.Start(5);
    EXPECT_TRUE(rig.PumpUntilTicks(1));
}

namespace {

// Threads of this process, other than the calling one, under the FIFO policy.
int OtherRealtimeThreads() {
    int count = 0;
    const pid_t self = CurrentThreadId();
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const pid_t thread = std::stoi(entry.path().filename().string());
        if (thread != self && sched_getscheduler(thread) == SCHED_FIFO)
            ++count;
    }
    return count;
}

} // namespace

// A raised worker hands its tick over at normal priority, so that it cannot
// take the processor from the message thread; below a real-time message
// thread it cannot anyway, and keeps its priority.
TEST(ThreadedTimer, TheWorkerKeepsItsPriorityInTheHandOverOnlyBelowARealtimeMessageThread) {
    if (!RealTimeSchedulingAllowed())
        GTEST_SKIP() << "no right to real-time scheduling here";
    for (const bool realtimeMessageThread : {false, true}) {
        SCOPED_TRACE(realtimeMessageThread ? "real-time message thread" : "normal message thread");
        sched_param param{};
        param.sched_priority = realtimeMessageThread ? 10 : 0;
        ASSERT_EQ(sched_setscheduler(0, realtimeMessageThread ? SCHED_FIFO : SCHED_OTHER, &param), 0);
        {
            FakeConsole console;
            TThreadedTimer timer{console};
            timer.SetThreadPriority(TThreadPriority::tpTimeCritical);
            std::vector<int> duringHandOver;
            timer.SetOnTimer([&](TThreadedTimer&) { duringHandOver.push_back(OtherRealtimeThreads()); });
            timer.SetInterval(2);
            timer.SetEnabled(true);
            ASSERT_TRUE(PumpUntil(console, [&] { return duringHandOver.size() >= 3; }, HangLimit));
            timer.SetEnabled(false);
            for (int others : duringHandOver)
                EXPECT_EQ(others, realtimeMessageThread ? 1 : 0);
        }
        param.sched_priority = 0;
        sched_setscheduler(0, SCHED_OTHER, &param);
    }
}
