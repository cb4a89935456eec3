#include "link/DelayTimer.h"

#include "TimerPump.h"

#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace quennel;
using namespace quennel::test;
using namespace std::chrono_literals;

namespace {

// Generous: only catches a wait that hangs.
constexpr Ms HangLimit = 5s;

struct DelayRig {
    SharedState S;
    FakeConsole Console;
    DelayTimer Timer{S, Console};

    Ms TimeWait(int32_t delayMs) {
        S.DelayMs = delayMs;
        const auto start = Clock::now();
        Timer.WaitDelay();
        return ElapsedSince(start);
    }
};

} // namespace

TEST(DelayTimer, TimerIsBuiltAsTheWindowHasIt) {
    DelayRig rig;
    EXPECT_FALSE(rig.Timer.ThreadedTimer1.Enabled());
    EXPECT_EQ(rig.Timer.ThreadedTimer1.Interval(), 1);
    EXPECT_TRUE(rig.Timer.ThreadedTimer1.OnTimer());
}

TEST(DelayTimer, ThreeHundredMillisecondsEndOnOneTickWithoutSpinning) {
    DelayRig rig;
    const Ms took = rig.TimeWait(300);
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, HangLimit);
    EXPECT_EQ(rig.S.DelayMs, 0);
    EXPECT_FALSE(rig.Timer.ThreadedTimer1.Enabled());
    EXPECT_EQ(rig.Timer.ThreadedTimer1.Interval(), 300);
    EXPECT_LE(rig.Console.MessagePumps, 3) << "the wait must sleep between messages";

    // A second tick would clear DelayMs again.
    rig.S.DelayMs = 7;
    PumpFor(rig.Console, 400ms);
    EXPECT_EQ(rig.S.DelayMs, 7);
}

TEST(DelayTimer, EqualDelaysInARowLastAsLongEachTime) {
    DelayRig rig;
    for (int i = 0; i < 3; ++i) {
        const Ms took = rig.TimeWait(50);
        EXPECT_GE(took, 50ms) << "delay " << i;
        EXPECT_LT(took, HangLimit);
        EXPECT_EQ(rig.Timer.ThreadedTimer1.Interval(), 50);
    }
}

TEST(DelayTimer, PulseLengthWaitsAreNeverShort) {
    DelayRig rig;
    for (int i = 0; i < 20; ++i)
        EXPECT_GE(rig.TimeWait(10), 10ms) << "wait " << i;
}

// The tick reaches the message thread ahead of its time and is held there:
// whatever runs in the pump meanwhile (calls from another thread that take
// their time, a hook of the front end's own), no wait may end before the
// steady clock has advanced by its DelayMs.
TEST(DelayTimer, NoWaitEndsBeforeItsTime) {
    DelayRig rig;
    std::atomic<bool> stop{false};
    int callsRun = 0, hooksRun = 0;
    std::thread sender([&] {
        while (!stop.load()) {
            rig.Console.Queue.Post([&] {
                ++callsRun;
                std::this_thread::sleep_for(200us);
            });
            std::this_thread::sleep_for(700us);
        }
    });
    constexpr std::array<int32_t, 10> Delays{1, 2, 3, 5, 10, 10, 10, 10, 10, 20};
    for (int i = 0; i < 150; ++i) {
        const int32_t delay = Delays[static_cast<size_t>(i) % Delays.size()];
        if (i % 3 == 0)
            rig.Console.DuringMessages = [&] { ++hooksRun; };
        else
            rig.Console.DuringMessages = nullptr;
        rig.S.DelayMs = delay;
        const auto start = Clock::now();
        rig.Timer.WaitDelay();
        const auto took = Clock::now() - start;
        EXPECT_GE(took, Ms(delay)) << "wait " << i << " of " << delay << " ms took "
                                   << std::chrono::duration<double, std::milli>(took).count() << " ms";
        EXPECT_LT(took, HangLimit);
        EXPECT_EQ(rig.S.DelayMs, 0);
    }
    stop.store(true);
    sender.join();
    EXPECT_GT(callsRun, 0);
    EXPECT_GT(hooksRun, 0);
}

TEST(DelayTimer, MessagesFromOtherThreadsRunDuringTheWait) {
    DelayRig rig;
    Clock::time_point ranAt{};
    std::thread sender([&] {
        std::this_thread::sleep_for(20ms);
        rig.Console.Queue.Post([&] { ranAt = Clock::now(); });
    });
    rig.S.DelayMs = 300;
    rig.Timer.WaitDelay();
    const auto returnedAt = Clock::now();
    sender.join();
    ASSERT_NE(ranAt, Clock::time_point{});
    EXPECT_LT(ranAt + 100ms, returnedAt);
}

TEST(DelayTimer, ClearingDelayFromOutsideEndsTheWaitEarly) {
    DelayRig rig;
    const auto start = Clock::now();
    rig.Console.DuringMessages = [&] {
        if (ElapsedSince(start) >= 30ms) { // the shutdown path
            rig.S.DelayMs = 0;
            rig.Timer.ThreadedTimer1.SetEnabled(false);
        }
    };
    rig.S.DelayMs = 5000;
    rig.Timer.WaitDelay();
    EXPECT_LT(ElapsedSince(start), 2s);
    rig.Console.DuringMessages = nullptr;

    rig.S.DelayMs = 9;
    PumpFor(rig.Console, 100ms);
    EXPECT_EQ(rig.S.DelayMs, 9) << "no tick after the timer was disabled";
}

TEST(DelayTimer, DelayWhoseIntervalWouldBeZeroEndsAtOnce) {
    DelayRig rig;
    for (int32_t delay : {0, 0x10000}) {
        EXPECT_LT(rig.TimeWait(delay), 1s) << delay;
        EXPECT_EQ(rig.S.DelayMs, 0);
        EXPECT_FALSE(rig.Timer.ThreadedTimer1.Enabled());
    }
    EXPECT_GE(rig.TimeWait(20), 20ms) << "a normal delay still works after them";
}

TEST(DelayTimer, WhileWaitingRunsOnceInEachWaitWithTheTimerArmed) {
    DelayRig rig;
    int runs = 0;
    bool armed = false;
    rig.Timer.WhileWaiting = [&] {
        ++runs;
        armed = rig.Timer.ThreadedTimer1.Enabled();
    };
    rig.TimeWait(5);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(armed);
    rig.TimeWait(5);
    EXPECT_EQ(runs, 2);
}
