#include "BusyLoad.h"

#include <cerrno>
#include <csignal>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace quennel::bench {

namespace {

// In the child of a process that may have other threads, so only calls
// that are safe between fork and exec. The death signal covers a parent
// that dies before it is set, through the check after it.
[[noreturn]] void Spin(pid_t parent) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        _exit(1);
    // Normal scheduling even when forked from a real-time thread.
    const sched_param normal{};
    sched_setscheduler(0, SCHED_OTHER, &normal);
    volatile unsigned long turns = 0;
    for (;;)
        turns = turns + 1;
}

} // namespace

BusyLoad::BusyLoad(int count) {
    if (count < 0 || count > MostBusyProcesses)
        throw std::invalid_argument("a load of " + std::to_string(count) + " busy processes");
    Children.reserve(static_cast<size_t>(count));
    const pid_t parent = getpid();
    for (int i = 0; i < count; ++i) {
        const pid_t child = fork();
        if (child == 0)
            Spin(parent);
        if (child < 0) {
            const int error = errno;
            End();
            throw std::system_error(error, std::generic_category(), "cannot start a busy process");
        }
        Children.push_back(child);
    }
}

void BusyLoad::End() {
    for (pid_t child : Children)
        kill(child, SIGKILL);
    for (pid_t child : Children)
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    Children.clear();
}

} // namespace quennel::bench
