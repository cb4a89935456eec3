#pragma once
// The frame of every command: LockControls before it touches the device, the
// buffer or a choice list, UnlockControls after. The front end's half (which
// buttons, which colours) is the console's; the programmer's half is the
// idle state at both ends.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "device/DeviceCycle.h"

namespace quennel {

class CommandFrame {
public:
    CommandFrame(SharedState& state, DeviceCycle& cycle, OperatorConsole& console);

    // Idle state, commands locked, fault flag cleared, then the change is painted.
    void LockControls();
    // Commands unlocked (device operations only with a programmer), status
    // coloured by the fault flag, idle state, then the change is painted.
    void UnlockControls();
    // Sums DataBuffer[0..DeviceEnd] into Checksum and shows "CheckSum=XXXX".
    void UpdateChecksum();

private:
    SharedState& S;
    DeviceCycle& Cycle;
    OperatorConsole& Console;
};

} // namespace quennel
