// The real-time waits against a kernel that grants or refuses each right:
// what is taken, in which order, what is given back, and the one notice.

#include "link/RealtimeWaits.h"
#include "support/FakeRealtimeHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using test::FakeRealtimeHost;

class RealtimeWaitsTest : public ::testing::Test {
protected:
    RealtimeWaitsTest() {
        Waits.OnRefused = [this](const std::string& line) { Notices.push_back(line); };
    }

    FakeRealtimeHost Host;
    RealtimeWaits Waits{Host};
    std::vector<std::string> Notices;
};

TEST_F(RealtimeWaitsTest, AGrantedHoldTakesEverythingWithTheLimitFirstAndGivesItAllBack) {
    Waits.Hold();
    Waits.Hold(); // an operation inside another: nothing more is taken
    EXPECT_THAT(Host.Calls, ElementsAre("open latency", "limit 100000 200000", "schedule 1/10", "lock memory"));
    EXPECT_EQ(Host.OpenRequests, 1);
    EXPECT_TRUE(Host.ThreadIsRealtime());
    EXPECT_TRUE(Waits.LastGrant().LatencyHeld);
    EXPECT_TRUE(Waits.LastGrant().PriorityRaised);
    EXPECT_TRUE(Waits.LastGrant().MemoryLocked);

    Host.Calls.clear();
    Waits.Drop();
    EXPECT_THAT(Host.Calls, IsEmpty()) << "the outer hold still runs";
    Waits.Drop();
    EXPECT_THAT(Host.Calls, ElementsAre("unlock memory", "schedule 0/0", "close latency 71"));
    EXPECT_EQ(Host.OpenRequests, 0);
    EXPECT_FALSE(Host.ThreadIsRealtime());
    EXPECT_FALSE(Host.MemoryLocked);
    EXPECT_THAT(Notices, IsEmpty());
    // Kept for a benchmark's report after the operation.
    EXPECT_TRUE(Waits.LastGrant().PriorityRaised);

    // A surplus drop gives nothing back twice.
    Host.Calls.clear();
    Waits.Drop();
    EXPECT_THAT(Host.Calls, IsEmpty());
}

TEST_F(RealtimeWaitsTest, WithoutTheRunLimitNoRealtimePriorityIsTaken) {
    Host.LimitRefusal = EPERM;
    bool brokerAsked = false;
    Waits.AskBroker = [&](pid_t, int) { return brokerAsked = true; };
    Waits.Hold();
    EXPECT_THAT(Host.Calls, Not(::testing::Contains("schedule 1/10")));
    EXPECT_FALSE(brokerAsked);
    EXPECT_FALSE(Host.ThreadIsRealtime());
    EXPECT_TRUE(Waits.LastGrant().LatencyHeld);
    ASSERT_EQ(Notices.size(), 1U);
    EXPECT_THAT(Notices[0], HasSubstr("no real-time priority"));
    EXPECT_THAT(Notices[0], Not(HasSubstr("cpu_dma_latency")));
    Waits.Drop();
    EXPECT_EQ(Host.OpenRequests, 0);
}

TEST_F(RealtimeWaitsTest, RefusedRightsAreSaidOnceInOneLineAndEachHoldStillTriesAgain) {
    Host.RefuseAsAnOrdinaryUser();
    for (int operation = 0; operation < 3; ++operation) {
        Host.Calls.clear();
        Waits.Hold();
        EXPECT_THAT(Host.Calls, ElementsAre("open latency", "limit 100000 200000", "schedule 1/10", "lock memory"));
        Waits.Drop();
        EXPECT_THAT(Host.Calls, Not(::testing::Contains(HasSubstr("close latency"))));
        EXPECT_THAT(Host.Calls, Not(::testing::Contains("unlock memory")));
    }
    ASSERT_EQ(Notices.size(), 1U);
    EXPECT_EQ(Notices[0],
              "Real-time waits not granted: no write access to /dev/cpu_dma_latency, no real-time priority; "
              "pulses may run long on a busy machine. To grant them: install Quennel (its udev rule and "
              "limits.d entry give group lp both), join group lp (sudo usermod -aG lp $USER) and log in again");
    EXPECT_EQ(Waits.LastGrant().LatencyError, EACCES);
    EXPECT_EQ(Waits.LastGrant().PriorityError, EPERM);
}

TEST_F(RealtimeWaitsTest, TheBrokerIsAskedOnlyWhenTheDirectCallIsRefused) {
    std::vector<std::pair<pid_t, int>> asked;
    Waits.AskBroker = [&](pid_t thread, int priority) {
        asked.emplace_back(thread, priority);
        Host.Scheduling[thread] = {SCHED_FIFO, priority};
        return true;
    };
    Waits.Hold();
    Waits.Drop();
    EXPECT_THAT(asked, IsEmpty());

    Host.RealtimeRefusal = EPERM;
    Waits.Hold();
    EXPECT_THAT(asked, ElementsAre(std::pair<pid_t, int>{Host.Thread, MessageThreadFifoPriority}));
    EXPECT_TRUE(Waits.LastGrant().PriorityRaised);
    Waits.Drop();
    EXPECT_FALSE(Host.ThreadIsRealtime()) << "what the broker raised is put back too";
    EXPECT_THAT(Notices, IsEmpty());

    // A broker that says no: the priority is reported missing.
    Waits.AskBroker = [](pid_t, int) { return false; };
    Waits.Hold();
    Waits.Drop();
    ASSERT_EQ(Notices.size(), 1U);
    EXPECT_THAT(Notices[0], HasSubstr(": no real-time priority;"));
}

TEST_F(RealtimeWaitsTest, AMissingLatencyDeviceIsNamedAsMissing) {
    Host.LatencyRefusal = ENOENT;
    Waits.Hold();
    Waits.Drop();
    ASSERT_EQ(Notices.size(), 1U);
    EXPECT_THAT(Notices[0], HasSubstr("waits not granted: no /dev/cpu_dma_latency;"));
}

TEST_F(RealtimeWaitsTest, AThreadAlreadyRealtimeIsLeftAsItIs) {
    Host.Scheduling[Host.Thread] = {SCHED_FIFO, 30};
    Waits.Hold();
    Waits.Drop();
    EXPECT_THAT(Host.Calls, Not(::testing::Contains(HasSubstr("schedule"))));
    EXPECT_EQ(Host.Scheduling[Host.Thread], (SchedulingPolicy{SCHED_FIFO, 30}));
}

TEST_F(RealtimeWaitsTest, UnwantedHoldsTakeNothingAndShutdownDropsAnyDepth) {
    Waits.Wanted = false;
    Waits.Hold();
    Waits.Drop();
    EXPECT_THAT(Host.Calls, IsEmpty());
    EXPECT_FALSE(Waits.LastGrant().PriorityRaised);

    Waits.Wanted = true;
    Waits.Hold();
    Waits.Hold();
    Waits.DropAll();
    EXPECT_FALSE(Waits.Held());
    EXPECT_EQ(Host.OpenRequests, 0);
    EXPECT_FALSE(Host.ThreadIsRealtime());
}

} // namespace
} // namespace quennel
