#include "device/DeviceCycle.h"

#include <algorithm>
#include <cstdio>

namespace quennel {

namespace {
constexpr int32_t SettleMs = 100;
constexpr int32_t ProgramSettleMs = 50;
constexpr int32_t PulseMs = 10;

// Bit 2 of latch 01 is what the pulse drops and raises again.
constexpr int32_t Latch01PulseBit = 0x04;
constexpr uint8_t Latch02Pulse = 0x12;
constexpr uint8_t Latch02AfterPulse = 0x1A;

bool IsFourBitClass(int32_t deviceClass) {
    return deviceClass == 3 || deviceClass == 4;
}
} // namespace

int32_t LastPassAddress(int32_t deviceEnd) {
    return std::clamp(deviceEnd, 0, BufferSize - 1);
}

DeviceCycle::DeviceCycle(SharedState& state, LatchProtocol& latches, DelayTimer& timer,
                         OperatorConsole& console)
    : S(state), Latches(latches), Timer(timer), Console(console) {}

uint8_t DeviceCycle::AddressBit8() const {
    return (S.CurrentAddress & 0x100) != 0 ? 0x01 : 0x00;
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
    if (S.ProgrammerModel >= 1) {
        S.LatchValue = 0x00;
        Latches.Latch03();
        S.LatchValue = 0x3B;
        Latches.Latch02();
        S.LatchValue = 0xE4;
        Latches.Latch01();
        S.LatchValue = 0x76;
        Latches.Latch0B();
        S.LatchValue = 0x00;
        Latches.Latch09();
        Latches.ParkControl();
        S.LatchValue = 0xA0;
        Latches.Latch03();
    }
    // A stop that arrived before this idle state (inside a command frame's
    // message pump) must still end the pass that follows.
    S.EndReached = S.StopRequested ? StopEndCount : 0;
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
    S.Latch0BMode = 0x62;
    S.Latch01Address = 0xE5;
    S.Latch02Mode = 0x3B;
    ApplySetup();
}

void DeviceCycle::ProgramSetup() {
    S.Latch0BMode = (S.DeviceClass == 2 || S.DeviceClass == 3) ? 0x22 : 0x62;
    S.Latch01Address = 0xE5;
    S.Latch01Program = 0x65;
    S.Latch02Mode = 0x1A;
    ApplySetup();
    Wait(ProgramSettleMs);
}

void DeviceCycle::SetAddress() {
    S.LatchValue = static_cast<uint16_t>(S.CurrentAddress & 0xFF);
    Latches.Latch09();
    S.Latch0BAddress = static_cast<uint16_t>((S.Latch0BMode & ~0x01) | AddressBit8());
    S.LatchValue = S.Latch0BAddress;
    Latches.Latch0B();
    Put01(S.Latch01Address);

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

void DeviceCycle::ProgramCell() {
    Put01(S.Latch01Address);
    SetAddress();
    Put01(S.Latch01Program);

    // An address outside the buffer has no byte to program: no fuse is blown for it.
    const bool inBuffer = S.CurrentAddress >= 0 && S.CurrentAddress < BufferSize;
    const uint8_t wanted = inBuffer ? S.DataBuffer[static_cast<size_t>(S.CurrentAddress)] : 0;
    const int bits = IsFourBitClass(S.DeviceClass) ? 4 : 8;
    for (int n = 0; n < bits; ++n) {
        if (S.EndReached != 0) // the pass was ended from outside during a pulse
            return;
        if ((wanted >> n & 1) == 0)
            continue;
        S.ProgramBit = static_cast<uint16_t>(n);
        ProgramPulse();
    }
}

void DeviceCycle::ProgramPulse() {
    switch (S.DeviceClass) {
    case 1:
    case 3:
    case 6:
        PulseSignetics();
        break;
    case 2:
    case 4:
    case 5:
        PulseNational();
        break;
    default:
        break; // no device chosen: nothing is programmed
    }
}

void DeviceCycle::PulseSignetics() {
    Pulse(0x66, 0x62);
}
void DeviceCycle::PulseNational() {
    Pulse(0x36, 0x22);
}

// The pulse lasts the 10 ms wait, never less. The wait processes pending
// messages from its first moment on, inside its own 10 ms, so no pump of
// its own comes before it: that would only lengthen every pulse. Should the
// port be released meanwhile, the latch routines drop the rest.
void DeviceCycle::Pulse(uint8_t latch0BHeld, uint8_t latch0BAfter) {
    S.PulseInFlight = true;
    const uint8_t a8 = static_cast<uint8_t>(S.Latch0BAddress & 0x01);
    S.LatchValue = Latch02Pulse;
    Latches.Latch02();
    S.LatchValue = latch0BHeld | a8;
    Latches.Latch0B();
    S.LatchValue = S.ProgramBit;
    Latches.Latch0A();
    Put01(S.Latch01Program & ~Latch01PulseBit);
    Put01(S.Latch01Address & ~Latch01PulseBit);
    Wait(PulseMs);
    Put01(S.Latch01Program & ~Latch01PulseBit);
    Put01(S.Latch01Address);
    S.LatchValue = latch0BHeld | a8;
    Latches.Latch0B();
    S.LatchValue = latch0BAfter | a8;
    Latches.Latch0B();
    S.LatchValue = Latch02AfterPulse;
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
