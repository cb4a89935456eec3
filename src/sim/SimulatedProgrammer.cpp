#include "sim/SimulatedProgrammer.h"

#include <chrono>
#include <cstdio>

namespace quennel {

// The programmer's side of the wire. These values are read off the board,
// not taken from the driver, so that a driver sending the wrong ones fails.
namespace {
// Control lines: C2 (INIT) is the latch clock, C0, C1 and C3 pick the latch.
constexpr uint8_t ClockLine = 0x04;
constexpr uint8_t SelectLines = 0x0B;
constexpr uint8_t BusyInverted = 0x80;

// The six latches by their select codes.
constexpr uint8_t BitLatch = 0x0A;    // bit to program; the echo byte in detection
constexpr uint8_t LowAddress = 0x09;  // A0-A7
constexpr uint8_t HighAddress = 0x0B; // A8 in bit 0, mode bits above
constexpr uint8_t SpareLatch = 0x03;
constexpr uint8_t ModeLatch = 0x02;
constexpr uint8_t SupplyLatch = 0x01; // output enable, programming pulse, A9 in bit 3

constexpr bool IsLatch(uint8_t select) {
    return select == BitLatch || select == LowAddress || select == HighAddress || select == SpareLatch ||
           select == ModeLatch || select == SupplyLatch;
}

constexpr uint8_t A8Line = 0x01; // in the high address latch
constexpr uint8_t A9Line = 0x08; // in the supply latch

// Mode latch values the board decodes.
constexpr uint8_t EchoMode = 0xB7; // present the bit latch on the status lines
constexpr uint8_t ReadMode = 0x3B;
constexpr uint8_t ProgramMode = 0x1A;
constexpr uint8_t PulseMode = 0x12;

// The supply latch: bit 7 switches the programming supply on, bit 2 holds it
// off; the pulse is on while bit 7 is set and bit 2 clear.
constexpr uint8_t SupplyOn = 0x80;
constexpr uint8_t SupplyHold = 0x04;
constexpr uint8_t ReadSupply = 0xE5; // outputs enabled, no pulse

// The high address latch without A8: read, programming set-up and the
// pulse's own values, for the Signetics and the National adapter wiring.
constexpr uint8_t ReadSelect = 0x62;
constexpr bool IsProgramSelect(uint8_t value) {
    return value == 0x62 || value == 0x22;
}
constexpr bool IsPulseSelect(uint8_t value) {
    return value == 0x66 || value == 0x36;
}

// The status lines of an unpowered board float high; BUSY reads inverted.
constexpr uint8_t UnpoweredStatus = 0x7F;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string CellText(const ProgrammingPulse& pulse) {
    char text[64];
    std::snprintf(text, sizeof text, "cell %04X bit %d", pulse.Cell, pulse.Bit);
    return text;
}
} // namespace

SimulatedProgrammer::SimulatedProgrammer(uint32_t noiseSeed) : NoiseSource(noiseSeed == 0 ? 1 : noiseSeed) {}

uint8_t SimulatedProgrammer::Latch(uint8_t select) const {
    return IsLatch(select) ? Latches[select] : 0;
}

uint16_t SimulatedProgrammer::PresentedCell() const {
    uint16_t cell = Latches[LowAddress];
    if (Latches[HighAddress] & A8Line)
        cell |= 0x100;
    if (Latches[SupplyLatch] & A9Line)
        cell |= 0x200;
    return cell;
}

uint16_t SimulatedProgrammer::PartCell(uint16_t presented) const {
    const uint16_t cell = static_cast<uint16_t>((presented & ~AddressOpen) | AddressStuckHigh);
    return static_cast<uint16_t>(cell & (SimulatedChipSize - 1));
}

uint8_t SimulatedProgrammer::PartOutputs(uint16_t presented) {
    uint8_t lines = Fuses[PartCell(presented)];
    if (Width == 4) // the upper four outputs are not there: those lines float
        lines = static_cast<uint8_t>((lines & 0x0F) | (Noise() & 0xF0));
    for (auto [one, other] : DataBridges) {
        const uint8_t pair = static_cast<uint8_t>((1u << one) | (1u << other));
        if ((lines & pair) != pair)
            lines = static_cast<uint8_t>(lines & ~pair);
    }
    return static_cast<uint8_t>((lines & ~DataStuckLow) | DataStuckHigh);
}

// The programming current reaches the fuse of its bit through that bit's
// output, and through a bridge the fuse of the other output as well; a stuck
// output carries none.
uint8_t SimulatedProgrammer::FusesReached(uint8_t bit) const {
    const uint8_t stuck = DataStuckLow | DataStuckHigh;
    if (stuck & (1u << bit))
        return 0;
    uint8_t reached = static_cast<uint8_t>(1u << bit);
    for (auto [one, other] : DataBridges) {
        if (one == bit)
            reached |= static_cast<uint8_t>(1u << other);
        if (other == bit)
            reached |= static_cast<uint8_t>(1u << one);
    }
    const uint8_t present = Width == 4 ? 0x0F : 0xFF;
    return static_cast<uint8_t>(reached & ~stuck & present);
}

void SimulatedProgrammer::ClearRecords() {
    PulseLog.clear();
    ViolationLog.clear();
}

void SimulatedProgrammer::WriteRegister(uint16_t offset, uint8_t value) {
    if (!Powered)
        LosePower();
    switch (offset) {
    case 0:
        Data = value;
        break;
    case 2:
        ClockControl(value);
        break;
    case 0x402:
        if (HasEcr)
            Ecr = value;
        break;
    default:
        break;
    }
}

uint8_t SimulatedProgrammer::ReadRegister(uint16_t offset) {
    if (!Powered)
        LosePower();
    switch (offset) {
    case 0:
        return Data;
    case 1:
        return StatusLines();
    case 2:
        return Control;
    case 0x402:
        return HasEcr ? Ecr : 0xFF;
    default:
        return 0xFF;
    }
}

// Both models latch on the rising clock into the latch that the select code
// names at that moment; a latch is edge-triggered and ignores the data lines
// at any other time. The current model also latches on the falling clock into
// whatever the select code names after the fall; that is what its
// model-check burst reveals.
void SimulatedProgrammer::ClockControl(uint8_t value) {
    uint8_t previous = Control;
    Control = value;
    if (!Powered)
        return;
    bool wasHigh = previous & ClockLine;
    bool isHigh = value & ClockLine;
    if (!wasHigh && isHigh)
        Capture(value & SelectLines);
    if (wasHigh && !isHigh && Model >= 2)
        Capture(value & SelectLines);
}

void SimulatedProgrammer::Capture(uint8_t select) {
    if (!IsLatch(select))
        return;
    Latches[select] = Data;
    LatchChanged(select);
}

void SimulatedProgrammer::LatchChanged(uint8_t select) {
    if (select == ModeLatch) {
        uint8_t mode = Latches[ModeLatch];
        if (mode == ProgramMode)
            ProgrammingMode = IsProgramSelect(Latches[HighAddress] & ~A8Line);
        else if (mode != PulseMode)
            ProgrammingMode = false;
    }
    bool on = (Latches[SupplyLatch] & (SupplyOn | SupplyHold)) == SupplyOn;
    if (on && !Pulsing)
        StartPulse();
    else if (!on && Pulsing)
        EndPulse();
}

void SimulatedProgrammer::StartPulse() {
    Pulsing = true;
    PulseStartNs = NowNs();
    Current = {};
    Current.Cell = PresentedCell();
    Current.Bit = Latches[BitLatch] & 0x07;
    Current.InProgrammingMode =
        ProgrammingMode && Latches[ModeLatch] == PulseMode && IsPulseSelect(Latches[HighAddress] & ~A8Line);
    if (!Current.InProgrammingMode)
        ViolationLog.push_back({SimulatedViolation::Kind::PulseOutsideProgramming,
                                "pulse outside programming mode on " + CellText(Current)});
}

void SimulatedProgrammer::EndPulse() {
    Pulsing = false;
    Current.WidthMs = static_cast<double>(NowNs() - PulseStartNs) / 1e6;
    if (Current.WidthMs < MinimumPulseMs) {
        char text[48];
        std::snprintf(text, sizeof text, "pulse of %.3f ms on ", Current.WidthMs);
        ViolationLog.push_back({SimulatedViolation::Kind::ShortPulse, text + CellText(Current)});
    }
    if (Current.InProgrammingMode && Current.WidthMs >= MinimumPulseMs && FusesBlow && Powered &&
        Current.Bit < Width) {
        const uint16_t cell = PartCell(Current.Cell);
        uint8_t before = Fuses[cell];
        Fuses[cell] = static_cast<uint8_t>(before | FusesReached(Current.Bit));
        Current.Blew = Fuses[cell] != before;
    }
    PulseLog.push_back(Current);
}

// Without power the latches forget what they held; a pulse in flight dies
// with the supply and blows nothing.
void SimulatedProgrammer::LosePower() {
    if (Pulsing)
        EndPulse();
    Latches.fill(0);
    ProgrammingMode = false;
}

uint8_t SimulatedProgrammer::Presented() {
    uint8_t mode = Latches[ModeLatch];
    if (mode == EchoMode)
        return Latches[BitLatch];
    bool reading = mode == ReadMode && (Latches[SupplyLatch] & ~A9Line) == ReadSupply &&
                   (Latches[HighAddress] & ~A8Line) == ReadSelect;
    if (!reading)
        return Noise(); // outputs disabled: the lines float
    return PartOutputs(PresentedCell());
}

uint8_t SimulatedProgrammer::StatusLines() {
    if (!Powered)
        return UnpoweredStatus;
    uint8_t byte = Presented();
    uint8_t nibble = (Control & ClockLine) ? (byte & 0x0F) : (byte >> 4);
    uint8_t unused;
    do
        unused = Noise() & 0x0F;
    while (unused == LastUnusedBits);
    LastUnusedBits = unused;
    return static_cast<uint8_t>(((nibble << 4) ^ BusyInverted) | unused);
}

uint8_t SimulatedProgrammer::Noise() {
    return static_cast<uint8_t>(NoiseSource() >> 7);
}

} // namespace quennel
