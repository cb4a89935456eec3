#include "device/AddressBit9Guard.h"

#include "buffer/IntegerText.h"
#include "device/LatchValues.h"

namespace quennel {

namespace {
constexpr int32_t UpperHalf = 0x200;
} // namespace

AddressBit9Guard::AddressBit9Guard(SharedState& state, DeviceCycle& cycle) : S(state), Cycle(cycle) {}

void AddressBit9Guard::Arm() {
    Due = true;
    Found.reset();
    Cycle.AfterPulse = [this] { Check(); };
}

void AddressBit9Guard::Disarm() {
    Due = false;
    Cycle.AfterPulse = nullptr;
}

// Right after the first pulse on an upper-half cell whose bit is still 0
// in the lower-half cell with the same low nine address bits (as this run
// programs that cell, before it), and only then:
//   1. the idle latch values, the pass's counters kept;
//   2. the read set-up, with its 100 ms settle;
//   3. a read of that lower cell;
//   4. the programming set-up, with its 150 ms;
//   5. the upper cell presented for programming again, as at the start of
//      a cell: the set-ups leave latches 0B and 01 without its A8 and A9,
//      and every pulse must start from the latches it was made for;
// and the pass goes on with the next bit. Had the pulse landed on the lower
// cell, the bit is there now: the pass stops at once instead of step 4.
// A stop or a refused port access in between ends the check and the pass.
void AddressBit9Guard::Check() {
    const int32_t cell = S.CurrentAddress;
    const int bit = S.ProgramBit;
    if (!Due || S.EndReached != 0 || cell < UpperHalf || cell >= BufferSize ||
        ValuesOfClass(S.DeviceClass).Pulse == PulseRoutine::None)
        return;
    const int32_t lower = cell - UpperHalf;
    if ((S.DataBuffer[static_cast<size_t>(lower)] >> bit & 1) != 0)
        return; // the bit is wanted there too: this pulse cannot tell
    Due = false;

    // The idle state rewinds the counters: EndReached stays the pass's 0
    // (unless the port refused the idle state), CurrentAddress is put back
    // after the read.
    Cycle.SetIdleState();
    if (S.EndReached != 0)
        return;
    Cycle.ReadSetup();
    if (S.EndReached != 0)
        return;
    S.CurrentAddress = lower;
    Cycle.ReadCell();
    S.CurrentAddress = cell;
    if (S.EndReached != 0)
        return;
    if ((S.ReadValue >> bit & 1) != 0) {
        Found = Miss{cell, bit};
        S.EndReached = StopEndCount;
        return;
    }
    Cycle.ProgramSetup();
    if (S.EndReached == 0)
        Cycle.PresentForProgramming();
}

std::string AddressBit9Guard::MissLine() const {
    if (!Found)
        return {};
    return HexDigits(static_cast<uint32_t>(Found->Cell), 4) + "  BIT " + std::to_string(Found->Bit) +
           " PULSED, FOUND IN " + HexDigits(static_cast<uint32_t>(Found->Cell - UpperHalf), 4) +
           ": address bit 9 does not reach the device; programming stopped after that pulse";
}

} // namespace quennel
