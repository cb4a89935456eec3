// The run limit on the running kernel: set before a real-time priority is
// taken, and a real-time thread that stops sleeping taken back to normal.
// Both need the right to real-time scheduling (root here); without it they
// are skipped.

#include "link/RealtimeRunLimit.h"
#include "link/ThreadScheduling.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quennel {
namespace {

bool MayRunRealtime() {
    rlimit rtprio{};
    getrlimit(RLIMIT_RTPRIO, &rtprio);
    return geteuid() == 0 || rtprio.rlim_cur > 0;
}

// Done in a child process, whose limits and signal handlers go with it.
TEST(RealtimeRunLimitDeathTest, ATimeCriticalWorkerGetsTheLimitAndASpinningOneIsTakenBackToNormal) {
    if (!MayRunRealtime())
        GTEST_SKIP() << "no right to real-time scheduling here";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const pid_t self = CurrentThreadId();
            ApplyThreadPriorityStep(self, 15);
            if (sched_getscheduler(self) != SCHED_FIFO)
                std::_Exit(3);
            rlimit limit{};
            getrlimit(RLIMIT_RTTIME, &limit);
            if (limit.rlim_cur != RealtimeRunSoftUs || limit.rlim_max != RealtimeRunHardUs)
                std::_Exit(4);
            // Spin without sleeping: the kernel's SIGXCPU after 100 ms of
            // processor time must end the real-time run long before this.
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (sched_getscheduler(self) == SCHED_FIFO)
                if (std::chrono::steady_clock::now() > giveUp)
                    std::_Exit(5);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "runs at normal priority now");
}

// In the child: a limit set lower beforehand (by the operator's shell) stays.
[[noreturn]] void KeepALowerLimit() {
    rlimit lower{};
    lower.rlim_cur = 50'000;
    lower.rlim_max = 60'000;
    if (setrlimit(RLIMIT_RTTIME, &lower) != 0)
        std::_Exit(2);
    if (LimitRealtimeRunning(RealtimeRunSoftUs, RealtimeRunHardUs) != 0)
        std::_Exit(3);
    rlimit after{};
    getrlimit(RLIMIT_RTTIME, &after);
    std::_Exit(after.rlim_cur == 50'000 && after.rlim_max == 60'000 ? 0 : 4);
}

TEST(RealtimeRunLimitDeathTest, ALimitAlreadyLowerIsKept) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(KeepALowerLimit(), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace quennel
