#include "link/ThreadScheduling.h"

#include "link/RealtimeRunLimit.h"

#include <array>
#include <cerrno>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quennel {

namespace {

constexpr int TimeCriticalStep = 15;
// A real-time priority above every normal thread; the worker only waits, so
// it cannot starve anything at this level.
constexpr int TimeCriticalFifoPriority = 1;

// Step and the nice value that stands for it. Nice -20 is where time
// critical lands when the real-time policy is refused.
constexpr std::array<std::pair<int, int>, 7> StepNice{{
    {-15, 19},
    {-2, 10},
    {-1, 5},
    {0, 0},
    {1, -5},
    {2, -10},
    {TimeCriticalStep, -20},
}};

// The nice values to try for step, strongest first: a raise that is refused
// falls back to the next weaker raise, never past normal.
std::vector<int> NiceLadder(int step) {
    std::vector<int> ladder;
    for (auto it = StepNice.rbegin(); it != StepNice.rend(); ++it) {
        const auto [candidate, nice] = *it;
        if (candidate == step || (step > 0 && candidate > 0 && candidate < step))
            ladder.push_back(nice);
    }
    return ladder;
}

// A real-time policy only once the run limit is in place, so that a worker
// that stops sleeping cannot hold a core.
bool SetPolicy(pid_t thread, int policy, int priority) {
    const bool realtime = policy == SCHED_FIFO || policy == SCHED_RR;
    if (realtime && LimitRealtimeRunning(RealtimeRunSoftUs, RealtimeRunHardUs) != 0)
        return false;
    return SetSchedulingPolicy(thread, policy, priority) == 0;
}

} // namespace

int SetSchedulingPolicy(pid_t thread, int policy, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    if (sched_setscheduler(thread, policy, &param) != 0)
        return -errno;
    NoteRealtimeThread(thread, policy == SCHED_FIFO || policy == SCHED_RR);
    return 0;
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

void ApplyThreadPriorityStep(pid_t thread, int step) {
    if (step == TimeCriticalStep && SetPolicy(thread, SCHED_FIFO, TimeCriticalFifoPriority))
        return;
    const int policy = sched_getscheduler(thread);
    if (policy != SCHED_OTHER && !SetPolicy(thread, SCHED_OTHER, 0))
        return;
    for (int nice : NiceLadder(step))
        if (setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice) == 0)
            return;
}

std::optional<int> ReadThreadPriorityStep(pid_t thread) {
    const int policy = sched_getscheduler(thread);
    if (policy == SCHED_FIFO || policy == SCHED_RR)
        return TimeCriticalStep;
    if (policy != SCHED_OTHER && policy != SCHED_BATCH)
        return std::nullopt;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (nice == -1 && errno != 0)
        return std::nullopt;
    for (const auto& [step, stepNice] : StepNice)
        if (stepNice == nice)
            return step;
    return std::nullopt;
}

void UseFinestTimerSlack() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

} // namespace quennel
