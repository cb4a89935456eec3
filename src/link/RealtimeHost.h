#pragma once
// The system calls behind the real-time waits, behind one narrow seam so
// that tests can stand in for a kernel that grants or refuses each of them.
// Failures come back as a negative errno.

#include <cstdint>
#include <sys/types.h>

namespace quennel {

// A thread's scheduling policy (SCHED_OTHER, SCHED_FIFO ...) and its
// real-time priority (0 for the normal policies).
struct SchedulingPolicy {
    int Policy = 0;
    int Priority = 0;
    bool operator==(const SchedulingPolicy&) const = default;
};

class RealtimeHost {
public:
    virtual ~RealtimeHost() = default;

    // Opens /dev/cpu_dma_latency and writes a 32-bit 0 to it: the processor
    // stays out of its slow idle states while the descriptor is open.
    // A descriptor, or -errno.
    virtual int OpenLatencyRequest() = 0;
    virtual void CloseLatencyRequest(int descriptor) = 0;

    // RLIMIT_RTTIME, in microseconds of processor time a real-time thread
    // may run without sleeping; 0 or -errno.
    virtual int LimitRealtimeRunning(uint64_t softUs, uint64_t hardUs) = 0;

    virtual pid_t CurrentThread() = 0;
    // 0 or -errno.
    virtual int ReadScheduling(pid_t thread, SchedulingPolicy& scheduling) = 0;
    virtual int SetScheduling(pid_t thread, const SchedulingPolicy& scheduling) = 0;

    // mlockall and munlockall; 0 or -errno.
    virtual int LockMemory() = 0;
    virtual void UnlockMemory() = 0;
};

// The running kernel.
RealtimeHost& HostRealtime();

} // namespace quennel
