#pragma once
// The frame of every command: LockControls before it touches the device, the
// buffer or a choice list, UnlockControls after. The front end's half (which
// buttons, which colours) is the console's; the programmer's half is the
// idle state at both ends.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "device/DeviceCycle.h"
#include "link/LatchProtocol.h"

#include <string>

namespace quennel {

// What the operator is told after the port's driver refused an access
// (reason: SharedState::PortFault): the status line, and the result line
// that says whether the programmer could still be put into its idle state.
std::string PortFaultCaption(const std::string& reason);
std::string PortFaultLine(const std::string& reason, bool leftIdle);

class CommandFrame {
public:
    CommandFrame(SharedState& state, DeviceCycle& cycle, LatchProtocol& latches, OperatorConsole& console);

    // Idle state, commands locked, fault flag cleared, then the change is painted.
    void LockControls();
    // Idle state, commands unlocked (device operations only with a
    // programmer), status coloured by the fault flag, then the change is painted.
    // A port access refused during the command is reported first, and the
    // port given back: a search (a click on the status line) may find the
    // programmer again.
    void UnlockControls();
    // Sums DataBuffer[0..DeviceEnd] into Checksum and shows "CheckSum=XXXX".
    void UpdateChecksum();

private:
    void ReportPortFault();

    SharedState& S;
    DeviceCycle& Cycle;
    LatchProtocol& Latches;
    OperatorConsole& Console;
};

} // namespace quennel
