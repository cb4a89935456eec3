#pragma once
// A thread's scheduling on Linux, expressed in the timer's priority steps:
// -15 idle, -2 lowest, -1 lower, 0 normal, 1 higher, 2 highest, 15 time
// critical. Time critical is the real-time FIFO policy; the others are nice
// values. What the process may not set is refused quietly: the thread keeps
// running with what it has, and reading it back tells what that is.

#include <optional>
#include <sys/types.h>

namespace quennel {

// The calling thread's kernel id, the handle the calls below take.
pid_t CurrentThreadId();

// Gives the thread the scheduling of step, or where that is refused the
// nearest weaker raise the process may make (never more than asked).
void ApplyThreadPriorityStep(pid_t thread, int step);

// Puts the thread under policy at priority and marks it real-time or not
// for the run limit's handler; 0 or -errno. The run limit is the caller's
// to set first.
int SetSchedulingPolicy(pid_t thread, int policy, int priority);

// The step the thread's scheduling now matches; empty when it matches none.
std::optional<int> ReadThreadPriorityStep(pid_t thread);

// Lets the calling thread's timed waits end as close after their deadline as
// the kernel can, instead of within the default slack of 50 microseconds.
void UseFinestTimerSlack();

} // namespace quennel
