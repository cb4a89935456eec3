#pragma once
// The device cycle: the programmer's idle, read and programming modes, the
// presentation of a cell address, the cell read, the bit-by-bit programming
// of a cell with timed pulses, and the address counter of a pass.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "device/LatchValues.h"
#include "link/DelayTimer.h"
#include "link/LatchProtocol.h"

#include <cstdint>
#include <functional>

namespace quennel {

// The last address a pass may reach: DeviceEnd bounded to the buffer, so a
// value from an altered settings file never indexes past DataBuffer (above
// 1023 counts as 1023, below 0 as 0).
int32_t LastPassAddress(int32_t deviceEnd);

class DeviceCycle {
public:
    DeviceCycle(SharedState& state, LatchProtocol& latches, DelayTimer& timer, OperatorConsole& console);

    // Idle latch values (only when a programmer was found); always rewinds
    // CurrentAddress and EndReached (to StopEndCount once a stop was asked).
    void SetIdleState();
    // Mode values to latches 0B, 01 and 02, then 100 ms to settle.
    void ApplySetup();
    void ReadSetup();
    void ProgramSetup();

    // Presents CurrentAddress and shows it on the address display.
    void SetAddress();
    // Presents CurrentAddress and leaves the cell's data in ReadValue.
    void ReadCell();
    // Presents CurrentAddress for programming: latch 01 at its address
    // value, the address, latch 01 at its programming value.
    void PresentForProgramming();
    // Presents CurrentAddress and gives one pulse for every 1-bit of its
    // buffer byte that the device class has.
    void ProgramCell();
    // One pulse for ProgramBit at the presented address, by DeviceClass.
    void ProgramPulse();
    void PulseSignetics();
    void PulseNational();
    // Advances CurrentAddress; counts EndReached once the last address is done.
    void StepAddress();

    // Runs cell, then StepAddress, from the current address until EndReached
    // is no longer 0 (the end of the device, or a close from outside).
    void RunPass(const std::function<void()>& cell);

    // Runs after each pulse ProgramCell gives, with CurrentAddress and
    // ProgramBit still those of the pulse (a programming run's checks).
    std::function<void()> AfterPulse;

private:
    // Shows CurrentAddress on the address display.
    void ShowAddress();
    void Pulse(const PulseValues& values);
    void Put01(int32_t value);
    void Wait(int32_t ms);
    uint8_t AddressBit9() const;
    uint8_t AddressBit8() const;

    SharedState& S;
    LatchProtocol& Latches;
    DelayTimer& Timer;
    OperatorConsole& Console;
};

} // namespace quennel
