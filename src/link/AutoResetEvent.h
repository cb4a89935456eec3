#pragma once
// An event that wakes one waiter and resets itself, with a timed wait on the
// steady clock. A spurious wake-up of the underlying condition variable is
// never taken for the event, and a wait never ends by time-out early.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quennel {

class AutoResetEvent {
public:
    enum class WaitResult { Signalled, TimedOut };

    // Starts non-signalled.
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    // Signals the event; it stays signalled until one wait consumes it.
    void Set();
    // Waits until the event is signalled (and resets it) or timeout has passed.
    WaitResult WaitFor(std::chrono::milliseconds timeout);
    // The same, up to a point on the steady clock.
    WaitResult WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
    std::mutex Lock;
    std::condition_variable Signal;
    bool Signalled = false;
};

} // namespace quennel
