#include "link/ThreadScheduling.h"

#include <future>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

using namespace quennel;

namespace {

// Runs body on a fresh thread with that thread's kernel id, and waits for it.
template <typename Body> void OnFreshThread(Body body) {
    std::thread thread([&] { body(CurrentThreadId()); });
    thread.join();
}

} // namespace

TEST(ThreadScheduling, LoweringStepsAreAppliedAndReadBack) {
    OnFreshThread([](pid_t self) {
        ApplyThreadPriorityStep(self, -1);
        EXPECT_EQ(ReadThreadPriorityStep(self), -1);
        ApplyThreadPriorityStep(self, -2);
        EXPECT_EQ(ReadThreadPriorityStep(self), -2);
        ApplyThreadPriorityStep(self, -15);
        EXPECT_EQ(ReadThreadPriorityStep(self), -15);
    });
}

TEST(ThreadScheduling, ANiceValueOfNoStepReadsAsNone) {
    OnFreshThread([](pid_t self) {
        ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(self), 3), 0);
        EXPECT_EQ(ReadThreadPriorityStep(self), std::nullopt);
    });
}

TEST(ThreadScheduling, TheStepOfOneThreadLeavesOthersAlone) {
    OnFreshThread([](pid_t self) {
        const auto before = ReadThreadPriorityStep(self);
        OnFreshThread([](pid_t other) { ApplyThreadPriorityStep(other, -2); });
        EXPECT_EQ(ReadThreadPriorityStep(self), before);
    });
}
