#include "link/DelayTimer.h"

namespace quennel {

DelayTimer::DelayTimer(SharedState& state, OperatorConsole& console)
    : ThreadedTimer1(console), S(state), Console(console) {
    // In the order the window's resource applies them.
    ThreadedTimer1.SetEnabled(false);
    ThreadedTimer1.SetInterval(1);
    ThreadedTimer1.SetOnTimer([this](TThreadedTimer& sender) { ThreadedTimer1Timer(sender); });
    ThreadedTimer1.SetThreadPriority(TThreadPriority::tpTimeCritical);
}

void DelayTimer::WaitDelay() {
    const auto interval = static_cast<uint16_t>(S.DelayMs & 0xFFFF);
    if (interval == 0) {
        // A zero interval never ticks, so the wait would never end: a delay
        // of nothing is over at once.
        Console.ProcessMessages();
        S.DelayMs = 0;
        return;
    }
    ThreadedTimer1.SetInterval(interval);
    ThreadedTimer1.SetEnabled(true);
    if (WhileWaiting)
        WhileWaiting();
    // Sleeps until the tick (or anything else) is pending; no spinning.
    do
        Console.WaitForMessages();
    while (S.DelayMs != 0);
}

void DelayTimer::ThreadedTimer1Timer(TThreadedTimer& /*sender*/) {
    S.DelayMs = 0;
    ThreadedTimer1.SetEnabled(false);
}

} // namespace quennel
