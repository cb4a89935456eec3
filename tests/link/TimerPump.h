#pragma once
// Message pumping for the timer tests: the test thread is the message thread.

#include "support/FakeConsole.h"

#include <chrono>
#include <functional>

namespace quennel::test {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

inline Ms ElapsedSince(Clock::time_point start) {
    return std::chrono::duration_cast<Ms>(Clock::now() - start);
}

// Runs the console's queued calls as they arrive until done() holds or limit
// has passed; returns done().
inline bool PumpUntil(FakeConsole& console, const std::function<bool()>& done, Ms limit) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end)
        console.Queue.WaitForMessages(Ms(1));
    return done();
}

// Runs the console's queued calls as they arrive for the whole span.
inline void PumpFor(FakeConsole& console, Ms span) {
    PumpUntil(
        console, [] { return false; }, span);
}

} // namespace quennel::test
