#pragma once
// The one-shot wait of the program: WaitDelay arms ThreadedTimer1 with
// DelayMs and pumps messages until the tick handler has cleared DelayMs.
// TEMPORARY CONTRACT: the timer issue replaces the body; callers rely only
// on the constructor and WaitDelay().

#include "core/OperatorConsole.h"
#include "core/SharedState.h"

namespace quennel {

class DelayTimer {
public:
    DelayTimer(SharedState& state, OperatorConsole& console);

    // Waits DelayMs milliseconds (1..65535) while the message thread stays
    // responsive; returns with DelayMs 0, or early when DelayMs is cleared
    // from outside.
    void WaitDelay();

private:
    SharedState& S;
    OperatorConsole& Console;
};

} // namespace quennel
