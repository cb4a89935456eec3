#pragma once
// A programmer with its PROM adapter and a 1k x 8 fuse PROM, seen from the
// hardware's side of the wire: it only knows what arrives on the data and
// control registers of its printer port and what it drives onto the status
// lines. It stands in where no programmer is attached, and lets tests watch
// what a real part would suffer (pulse widths, pulses outside programming
// mode). Settings and the chip may be changed at any time, also in the middle
// of an operation, from the thread that drives the bus.

#include "sim/SimulatedViolation.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quennel {

inline constexpr int SimulatedChipSize = 1024;
inline constexpr double MinimumPulseMs = 10.0;

// One programming pulse as the part saw it.
struct ProgrammingPulse {
    double WidthMs = 0; // from the write that switched it on to the one that switched it off
    uint16_t Cell = 0;  // address presented when it started
    uint8_t Bit = 0;    // bit number taken from latch 0A when it started
    bool InProgrammingMode = false;
    bool Blew = false; // the fuse went from 0 to 1 with this pulse
};

class SimulatedProgrammer {
public:
    // The seed makes the noise on the floating lines reproducible.
    explicit SimulatedProgrammer(uint32_t noiseSeed = 1);

    // Settings.
    int Model = 2;         // 1 the older model, 2 the current one
    bool Powered = true;   // false: the status lines stay constant and the latches hold nothing
    bool FusesBlow = true; // false: a part whose fuses will not blow
    int Width = 8;         // 8, or 4: the upper four data outputs float
    bool HasEcr = true;    // false: the port has no ECP extended control register (reads 0xFF)
    uint8_t Ecr = 0x35;    // the extended control register, when there is one

    // Faults of the lines between the adapter and the part, none by default:
    // what a socket pin that does not touch, a broken wire or a solder bridge
    // does. Each is a mask of line numbers (bit n for A n or D n).
    uint16_t AddressOpen = 0;      // address inputs that float to 0
    uint16_t AddressStuckHigh = 0; // address inputs held at 1
    uint8_t DataStuckLow = 0;      // data outputs that read 0 and carry no programming current
    uint8_t DataStuckHigh = 0;     // data outputs that read 1 and carry no programming current
    // Pairs of data outputs tied together: they read as the AND of the two,
    // and a programming pulse on either blows the fuses of both.
    std::vector<std::pair<int, int>> DataBridges;

    // The PROM: blank is 0x00, a blown fuse is 1. Tests may blow cells in
    // advance; SimulatedChipFile keeps it across runs.
    std::array<uint8_t, SimulatedChipSize> Fuses{};

    // The port's registers, by offset from the base address: 0 data,
    // 1 status, 2 control, 0x402 the ECR. Other offsets read 0xFF.
    void WriteRegister(uint16_t offset, uint8_t value);
    uint8_t ReadRegister(uint16_t offset);

    // What a test may look at.
    uint8_t Latch(uint8_t select) const; // 0x0A, 0x09, 0x0B, 0x03, 0x02 or 0x01; 0 for any other code
    uint8_t DataLines() const { return Data; }
    uint8_t ControlLines() const { return Control; }
    uint16_t PresentedCell() const;
    // The cell the part selects when the programmer presents this one.
    uint16_t PartCell(uint16_t presented) const;
    // What the part drives onto the data lines in read mode while the
    // programmer presents this cell.
    uint8_t PartOutputs(uint16_t presented);
    bool PulseOn() const { return Pulsing; }
    const std::vector<ProgrammingPulse>& Pulses() const { return PulseLog; }
    const std::vector<SimulatedViolation>& Violations() const { return ViolationLog; }
    void ClearRecords();

private:
    void ClockControl(uint8_t value);
    void Capture(uint8_t select);
    void LatchChanged(uint8_t select);
    void StartPulse();
    void EndPulse();
    uint8_t Presented();
    uint8_t StatusLines();
    uint8_t Noise();
    void LosePower();
    uint8_t FusesReached(uint8_t bit) const;

    // The six latches, indexed by select code.
    std::array<uint8_t, 16> Latches{};
    uint8_t Data = 0;
    uint8_t Control = 0;
    uint8_t LastUnusedBits = 0;
    bool ProgrammingMode = false;
    bool Pulsing = false;
    ProgrammingPulse Current;
    std::vector<ProgrammingPulse> PulseLog;
    std::vector<SimulatedViolation> ViolationLog;
    int64_t PulseStartNs = 0;
    std::minstd_rand NoiseSource;
};

} // namespace quennel
