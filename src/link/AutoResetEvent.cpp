#include "link/AutoResetEvent.h"

namespace quennel {

void AutoResetEvent::Set() {
    {
        std::lock_guard guard(Lock);
        Signalled = true;
    }
    Signal.notify_one();
}

AutoResetEvent::WaitResult AutoResetEvent::WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock guard(Lock);
    if (!Signal.wait_until(guard, deadline, [this] { return Signalled; }))
        return WaitResult::TimedOut;
    Signalled = false;
    return WaitResult::Signalled;
}

} // namespace quennel
