#pragma once
// The desktop's real-time broker (rtkit, on the system bus): where the
// program may not raise a thread's priority itself, rtkit may do it for it.

#include <sys/types.h>

namespace quennel {

// Asks rtkit to run thread at the real-time priority; true when it did.
// False at once when there is no system bus or no rtkit on it.
bool AskRtkitForRealtime(pid_t thread, int priority);

} // namespace quennel
