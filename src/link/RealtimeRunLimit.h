#pragma once
// A real-time thread that stops sleeping would hold a core for good. Before
// any thread of the program takes a real-time priority, RLIMIT_RTTIME is set:
// at the soft limit the kernel sends SIGXCPU, on which every thread marked
// real-time here is taken back to normal scheduling (the program goes on);
// at the hard limit, should that fail, the kernel ends the program.

#include <cstdint>
#include <sys/types.h>

namespace quennel {

// Processor time a real-time thread may use without sleeping. The hard
// limit is the most the desktop's real-time broker accepts.
inline constexpr uint64_t RealtimeRunSoftUs = 100'000;
inline constexpr uint64_t RealtimeRunHardUs = 200'000;

// Sets the limit (never above one already lower) and installs the SIGXCPU
// handler the first time; 0 or -errno. To be set again before each raise:
// every SIGXCPU moves the kernel's soft limit on by a second.
int LimitRealtimeRunning(uint64_t softUs, uint64_t hardUs);

// Marks a thread as running real-time, for the handler, or no longer.
void NoteRealtimeThread(pid_t thread, bool realtime);

// What the handler does: every marked thread back to normal scheduling.
void DemoteRealtimeThreads();

} // namespace quennel
