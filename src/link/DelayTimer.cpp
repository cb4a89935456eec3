// TEMPORARY: stands in until the threaded timer lands; not for review.
#include "link/DelayTimer.h"

#include <chrono>
#include <thread>

namespace quennel {

DelayTimer::DelayTimer(SharedState& state, OperatorConsole& console) : S(state), Console(console) {}

void DelayTimer::WaitDelay() {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(S.DelayMs & 0xFFFF);
    while (S.DelayMs != 0 && std::chrono::steady_clock::now() < end) {
        Console.ProcessMessages();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    S.DelayMs = 0;
}

} // namespace quennel
