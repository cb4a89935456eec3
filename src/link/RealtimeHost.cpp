#include "link/RealtimeHost.h"

#include "link/RealtimeRunLimit.h"
#include "link/ThreadScheduling.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quennel {

namespace {

class KernelRealtime : public RealtimeHost {
public:
    int OpenLatencyRequest() override {
        const int descriptor = open("/dev/cpu_dma_latency", O_WRONLY | O_CLOEXEC);
        if (descriptor < 0)
            return -errno;
        const int32_t noLatency = 0;
        if (write(descriptor, &noLatency, sizeof noLatency) != static_cast<ssize_t>(sizeof noLatency)) {
            const int error = errno != 0 ? errno : EIO;
            close(descriptor);
            return -error;
        }
        return descriptor;
    }

    void CloseLatencyRequest(int descriptor) override { close(descriptor); }

    int LimitRealtimeRunning(uint64_t softUs, uint64_t hardUs) override {
        return quennel::LimitRealtimeRunning(softUs, hardUs);
    }

    pid_t CurrentThread() override { return CurrentThreadId(); }

    int ReadScheduling(pid_t thread, SchedulingPolicy& scheduling) override {
        sched_param param{};
        const int policy = sched_getscheduler(thread);
        if (policy < 0 || sched_getparam(thread, &param) != 0)
            return -errno;
        scheduling = {policy & ~SCHED_RESET_ON_FORK, param.sched_priority};
        return 0;
    }

    int SetScheduling(pid_t thread, const SchedulingPolicy& scheduling) override {
        return SetSchedulingPolicy(thread, scheduling.Policy, scheduling.Priority);
    }

    // Pages are locked as they are first touched, not all at once: locking
    // every mapped page of the libraries would read them all in and multiply
    // the resident memory, for pages a pass never touches.
    int LockMemory() override { return mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) == 0 ? 0 : -errno; }

    void UnlockMemory() override { munlockall(); }
};

} // namespace

RealtimeHost& HostRealtime() {
    static KernelRealtime host;
    return host;
}

} // namespace quennel
