#pragma once
// Every value the device cycle writes into the programmer's latches, in one
// place: the idle, read and programming modes, the address bits, the two
// pulse sequences and what each device class takes. Only the low byte of a
// value reaches the data lines. The order of the writes lives in the cycle
// (DeviceCycle.cpp); the simulated programmer keeps its own values, read
// off the board, so that a wrong value here fails a test.
//
// Latch  idle    read set-up  program set-up  a cell presented          a pulse
// 03     00, A0
// 02     3B      3B           1A                                        12 during, 1A after
// 01     E4      E5           E5              E5; then 65 to program    61, E1 during; 61, E5 after
// 0B     76      62           22/62 by class  the mode's, A8 in bit 0   66/36 (A8) twice, then 62/22 (A8)
// 09     00                                   A7..A0
// 0A                                                                    the bit number
// A9 of the 1k x 8 part rides on bit 3 of every latch 01 write of its cell.

#include "link/LatchProtocol.h"

#include <array>
#include <cstdint>

namespace quennel {

// The idle state, in its order: the pulse switched off, the outputs
// disabled, the address latches cleared.
inline constexpr std::array<LatchStep, 7> IdleSequence{{
    {LatchName::Latch03, 0x00},
    {LatchName::Latch02, 0x3B},
    {LatchName::Latch01, 0xE4},
    {LatchName::Latch0B, 0x76},
    {LatchName::Latch09, 0x00},
    {LatchName::Park, 0x00},
    {LatchName::Latch03, 0xA0},
}};

// What a set-up stores in Latch0BMode, Latch01Address and Latch02Mode.
struct SetupValues {
    uint8_t Latch0BMode;
    uint8_t Latch01Address;
    uint8_t Latch02Mode;
};
inline constexpr SetupValues ReadSetupValues{0x62, 0xE5, 0x3B};
// Latch0BMode of the programming set-up is the device class's (below).
inline constexpr uint8_t ProgramLatch01Address = 0xE5;
inline constexpr uint8_t ProgramLatch02Mode = 0x1A;
// Latch01Program: latch 01 while a cell is being programmed.
inline constexpr uint8_t ProgramLatch01Program = 0x65;

// Address bits beyond latch 09: A8 in bit 0 of latch 0B, A9 in bit 3 of latch 01.
inline constexpr uint8_t Latch0BAddressBit8 = 0x01;
inline constexpr uint8_t Latch01AddressBit9 = 0x08;

// A pulse: latch 02 during it and after it; bit 2 of latch 01 is cleared
// for its duration; latch 0B is held at one value around the wait and
// given another after it (both with A8 in bit 0).
inline constexpr uint8_t PulseLatch02 = 0x12;
inline constexpr uint8_t PulseLatch02After = 0x1A;
inline constexpr uint8_t Latch01PulseBit = 0x04;
struct PulseValues {
    uint8_t Latch0BHeld;
    uint8_t Latch0BAfter;
};
inline constexpr PulseValues SigneticsPulseValues{0x66, 0x62};
inline constexpr PulseValues NationalPulseValues{0x36, 0x22};

enum class PulseRoutine { None, Signetics, National };

// What a device class takes: its data bits, its pulse routine, and
// Latch0BMode when programming.
struct ClassValues {
    int DataBits;
    PulseRoutine Pulse;
    uint8_t ProgramLatch0BMode;
};
inline constexpr std::array<ClassValues, 7> DeviceClassValues{{
    {8, PulseRoutine::None, 0x62},      // 0 no device chosen yet
    {8, PulseRoutine::Signetics, 0x62}, // 1 Signetics 32 x 8
    {8, PulseRoutine::National, 0x22},  // 2 National 32 x 8
    {4, PulseRoutine::Signetics, 0x22}, // 3 Signetics 256 x 4, 512 x 4
    {4, PulseRoutine::National, 0x62},  // 4 National 256 x 4, 512 x 4
    {8, PulseRoutine::National, 0x62},  // 5 National 256 x 8, 512 x 8
    {8, PulseRoutine::Signetics, 0x62}, // 6 Signetics 256 x 8, 512 x 8, 1k x 8
}};

// A class outside 0..6 takes class 0's values: all eight bits read, nothing programmed.
constexpr const ClassValues& ValuesOfClass(int32_t deviceClass) {
    return deviceClass >= 0 && deviceClass < static_cast<int32_t>(DeviceClassValues.size())
               ? DeviceClassValues[static_cast<size_t>(deviceClass)]
               : DeviceClassValues[0];
}

constexpr bool IsFourBitClass(int32_t deviceClass) {
    return ValuesOfClass(deviceClass).DataBits == 4;
}

} // namespace quennel
