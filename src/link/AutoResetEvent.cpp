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
    return WaitUntil(std::chrono::steady_clock::now() + timeout);
}

AutoResetEvent::WaitResult AutoResetEvent::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(Lock);
    if (!Signal.wait_until(guard, deadline, [this] { return Signalled; }))
        return WaitResult::TimedOut;
    Signalled = false;
    return WaitResult::Signalled;
}

} // namespace quennel
