#include "link/AutoResetEvent.h"

#include "TimerPump.h"

#include <gtest/gtest.h>
#include <thread>

using namespace quennel;
using namespace quennel::test;
using namespace std::chrono_literals;
using Result = AutoResetEvent::WaitResult;

TEST(AutoResetEvent, ASetIsConsumedByOneWaitOnly) {
    AutoResetEvent event;
    event.Set();
    event.Set(); // no count: still one signal
    EXPECT_EQ(event.WaitFor(0ms), Result::Signalled);
    EXPECT_EQ(event.WaitFor(0ms), Result::TimedOut);
}

TEST(AutoResetEvent, TimeOutNeverComesEarly) {
    AutoResetEvent event;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(event.WaitFor(15ms), Result::TimedOut);
        EXPECT_GE(Clock::now() - start, 15ms);
    }
}

TEST(AutoResetEvent, SetFromAnotherThreadEndsAWaitEarly) {
    AutoResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.Set();
    });
    const auto start = Clock::now();
    EXPECT_EQ(event.WaitFor(60s), Result::Signalled);
    EXPECT_LT(Clock::now() - start, 10s);
    setter.join();
}
