#include "device/DeviceCycle.h"

#include "device/LatchValues.h"

#include <algorithm>
#include <cstdio>

namespace quennel {

namespace {
constexpr int32_t SettleMs = 100;
constexpr int32_t ProgramSettleMs = 50;
constexpr int32_t PulseMs = 10;
} // namespace

int32_t LastPassAddress(int32_t deviceEnd) {
    return std::clamp(deviceEnd, 0, BufferSize - 1);
}

DeviceCycle::DeviceCycle(SharedState& state, LatchProtocol& latches, DelayTimer& timer,
                         OperatorConsole& console)
    : S(state), Latches(latches), Timer(timer), Console(console) {}

uint8_t DeviceCycle::AddressBit8() const {
    return (S.CurrentAddress & 0x100) != 0 ? Latch0BAddressBit8 : 0x00;
}

uint8_t DeviceCycle::AddressBit9() const {
    return (S.CurrentAddress & 0x200) != 0 ? Latch01AddressBit9 : 0x00;
}

// Every latch 01 write of a presented cell carries that cell's address bit 9.
void DeviceCycle::Put01(int32_t value) {
    S.LatchValue = static_cast<uint16_t>((value & 0xFF) | AddressBit9());
    Latches.Latch01();
}

void DeviceCycle::Wait(int32_t ms) {
    S.DelayMs = ms;
    Timer.WaitDelay();
}

void DeviceCycle::SetIdleState() {
    if (S.ProgrammerModel >= 1)
        Latches.WriteIdleState(IdleSequence);
    // A stop that arrived before this idle state (inside a command frame's
    // message pump), or a refused port access, must still end the pass that follows.
    S.EndReached = S.StopRequested || !S.PortFault.empty() ? StopEndCount : 0;
    S.CurrentAddress = 0;
}

// No cell is presented during a set-up, so latch 01 gets its mode value as it stands.
void DeviceCycle::ApplySetup() {
    S.LatchValue = static_cast<uint16_t>(S.Latch0BMode);
    Latches.Latch0B();
    S.LatchValue = static_cast<uint16_t>(S.Latch01Address);
    Latches.Latch01();
    S.LatchValue = static_cast<uint16_t>(S.Latch02Mode);
    Latches.Latch02();
    Wait(SettleMs);
}

void DeviceCycle::ReadSetup() {
    S.Latch0BMode = ReadSetupValues.Latch0BMode;
    S.Latch01Address = ReadSetupValues.Latch01Address;
    S.Latch02Mode = ReadSetupValues.Latch02Mode;
    ApplySetup();
}

void DeviceCycle::ProgramSetup() {
    S.Latch0BMode = ValuesOfClass(S.DeviceClass).ProgramLatch0BMode;
    S.Latch01Address = ProgramLatch01Address;
    S.Latch01Program = ProgramLatch01Program;
    S.Latch02Mode = ProgramLatch02Mode;
    ApplySetup();
    Wait(ProgramSettleMs);
}

void DeviceCycle::SetAddress() {
    S.LatchValue = static_cast<uint16_t>(S.CurrentAddress & 0xFF);
    Latches.Latch09();
    S.Latch0BAddress = static_cast<uint16_t>((S.Latch0BMode & ~Latch0BAddressBit8) | AddressBit8());
    S.LatchValue = S.Latch0BAddress;
    Latches.Latch0B();
    Put01(S.Latch01Address);
    ShowAddress();
}

void DeviceCycle::ShowAddress() {
    char caption[8];
    std::snprintf(caption, sizeof caption, "%04X", static_cast<unsigned>(S.CurrentAddress & 0xFFFF));
    Console.ShowAddress(caption);
}

// The read follows the address at once; the cell's data needs no settling.
void DeviceCycle::ReadCell() {
    SetAddress();
    Latches.ReadNibbles();
    if (IsFourBitClass(S.DeviceClass))
        S.ReadValue = static_cast<uint8_t>(S.ReadValue & 0x0F);
}

void DeviceCycle::PresentForProgramming() {
    Put01(S.Latch01Address);
    SetAddress();
    Put01(S.Latch01Program);
}

void DeviceCycle::ProgramCell() {
    PresentForProgramming();

    // An address outside the buffer has no byte to program: no fuse is blown for it.
    const bool inBuffer = S.CurrentAddress >= 0 && S.CurrentAddress < BufferSize;
    const uint8_t wanted = inBuffer ? S.DataBuffer[static_cast<size_t>(S.CurrentAddress)] : 0;
    const int bits = ValuesOfClass(S.DeviceClass).DataBits;
    for (int n = 0; n < bits; ++n) {
        if (S.EndReached != 0) // the pass was ended from outside during a pulse
            return;
        if ((wanted >> n & 1) == 0)
            continue;
        S.ProgramBit = static_cast<uint16_t>(n);
        ProgramPulse();
        if (AfterPulse)
            AfterPulse();
    }
}

void DeviceCycle::ProgramPulse() {
    switch (ValuesOfClass(S.DeviceClass).Pulse) {
    case PulseRoutine::Signetics:
        PulseSignetics();
        break;
    case PulseRoutine::National:
        PulseNational();
        break;
    case PulseRoutine::None:
        break; // no device chosen: nothing is programmed
    }
}

void DeviceCycle::PulseSignetics() {
    Pulse(SigneticsPulseValues);
}
void DeviceCycle::PulseNational() {
    Pulse(NationalPulseValues);
}

// The pulse lasts the 10 ms wait, never less. The wait processes pending
// messages from its first moment on, inside its own 10 ms, so no pump of
// its own comes before it: that would only lengthen every pulse. Should the
// port be released meanwhile, the latch routines drop the rest.
void DeviceCycle::Pulse(const PulseValues& values) {
    S.PulseInFlight = true;
    const uint8_t a8 = static_cast<uint8_t>(S.Latch0BAddress & Latch0BAddressBit8);
    S.LatchValue = PulseLatch02;
    Latches.Latch02();
    S.LatchValue = values.Latch0BHeld | a8;
    Latches.Latch0B();
    S.LatchValue = S.ProgramBit;
    Latches.Latch0A();
    Put01(S.Latch01Program & ~Latch01PulseBit);
    Put01(S.Latch01Address & ~Latch01PulseBit);
    Wait(PulseMs);
    Put01(S.Latch01Program & ~Latch01PulseBit);
    Put01(S.Latch01Address);
    S.LatchValue = values.Latch0BHeld | a8;
    Latches.Latch0B();
    S.LatchValue = values.Latch0BAfter | a8;
    Latches.Latch0B();
    S.LatchValue = PulseLatch02After;
    Latches.Latch02();
    S.PulseInFlight = false;
}

void DeviceCycle::StepAddress() {
    if (S.CurrentAddress >= LastPassAddress(S.DeviceEnd))
        ++S.EndReached;
    ++S.CurrentAddress;
}

void DeviceCycle::RunPass(const std::function<void()>& cell) {
    while (S.EndReached == 0) {
        cell();
        StepAddress();
    }
}

} // namespace quennel
