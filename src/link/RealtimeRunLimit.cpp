#include "link/RealtimeRunLimit.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quennel {

namespace {

// Lock-free slots the handler can read: a thread id, or 0.
std::array<std::atomic<pid_t>, 8> RealtimeThreads{};
std::atomic<bool> HandlerInstalled{false};

constexpr char DemotedNotice[] =
    "quennel: a real-time thread ran 100 ms without sleeping; it runs at normal priority now\n";

// Only calls that are safe in a signal handler: sched_setscheduler and write.
void OnRealtimeOverrun(int) {
    const int savedErrno = errno;
    DemoteRealtimeThreads();
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, DemotedNotice, sizeof DemotedNotice - 1);
    errno = savedErrno;
}

} // namespace

void DemoteRealtimeThreads() {
    const sched_param normal{};
    for (std::atomic<pid_t>& slot : RealtimeThreads)
        if (const pid_t thread = slot.exchange(0); thread != 0)
            sched_setscheduler(thread, SCHED_OTHER, &normal);
}

int LimitRealtimeRunning(uint64_t softUs, uint64_t hardUs) {
    rlimit current{};
    if (getrlimit(RLIMIT_RTTIME, &current) != 0)
        return -errno;
    rlimit wanted{static_cast<rlim_t>(softUs), static_cast<rlim_t>(hardUs)};
    if (current.rlim_max != RLIM_INFINITY && current.rlim_max < wanted.rlim_max)
        wanted.rlim_max = current.rlim_max;
    if (wanted.rlim_cur > wanted.rlim_max)
        wanted.rlim_cur = wanted.rlim_max;
    if (current.rlim_cur != RLIM_INFINITY && current.rlim_cur < wanted.rlim_cur)
        wanted.rlim_cur = current.rlim_cur;
    if (setrlimit(RLIMIT_RTTIME, &wanted) != 0)
        return -errno;
    if (!HandlerInstalled.exchange(true)) {
        struct sigaction action{};
        action.sa_handler = OnRealtimeOverrun;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (sigaction(SIGXCPU, &action, nullptr) != 0) {
            HandlerInstalled.store(false);
            return -errno;
        }
    }
    return 0;
}

void NoteRealtimeThread(pid_t thread, bool realtime) {
    for (std::atomic<pid_t>& slot : RealtimeThreads) {
        pid_t expected = thread;
        if (slot.compare_exchange_strong(expected, realtime ? thread : 0) && realtime)
            return; // marked already
    }
    if (!realtime)
        return;
    for (std::atomic<pid_t>& slot : RealtimeThreads) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, thread))
            return;
    }
}

} // namespace quennel
