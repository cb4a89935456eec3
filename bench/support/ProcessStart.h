#pragma once
// The time since the process started, to the microsecond: the kernel keeps
// a process's start in 10 ms steps, so a benchmark that times its own
// start-up runs itself again once, with the moment of that exec handed over
// in its environment.

namespace quennel::bench {

// Execs the running program again with the same arguments and the time of
// the exec in its environment; returns only in the program so started, or
// when the exec failed (the kernel's start time is used then).
void RestartToTimeStartUp(char** argv);

// Execs the running program with argv and the time of the exec in its
// environment, so that the program so started times its start-up from
// here (in a forked child, to run it again); returns only when the exec
// failed. Not safe after a fork in a process with other threads.
void ExecTimingStartUp(char** argv);

// Milliseconds since the exec that started this program.
double MsSinceProcessStart();

} // namespace quennel::bench
