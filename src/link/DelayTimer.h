#pragma once
// The one-shot wait of the program: WaitDelay arms ThreadedTimer1 with
// DelayMs as its interval and pumps messages until the tick handler has
// cleared DelayMs. The window stays responsive and the processor free.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "link/ThdTimer.h"

#include <functional>

namespace quennel {

class DelayTimer {
public:
    // Builds ThreadedTimer1 as the main window has it: disabled, Interval 1,
    // OnTimer ThreadedTimer1Timer, time-critical worker.
    DelayTimer(SharedState& state, OperatorConsole& console);

    // Waits DelayMs milliseconds (1..65535; only the low 16 bits count) and
    // returns with DelayMs 0 and the timer disabled: never before DelayMs
    // have passed on the steady clock, and within microseconds after when
    // the machine is not overloaded. It ends early only when something run
    // inside its pump clears DelayMs (the shutdown path).
    // Not re-entrant: there is one DelayMs and one timer.
    void WaitDelay();

    // The tick handler: ends the wait and disables the timer.
    void ThreadedTimer1Timer(TThreadedTimer& sender);

    // Public for the shutdown path, which disables it.
    TThreadedTimer ThreadedTimer1;

    // Runs once in each wait, right after the timer is armed: work that may
    // take a while and would delay nothing there (bringing a trace file up
    // to date).
    std::function<void()> WhileWaiting;

private:
    SharedState& S;
    OperatorConsole& Console;
};

} // namespace quennel
