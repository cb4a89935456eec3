#pragma once
// The check that address bit 9 reaches the 1k x 8 part. The programmer
// carries A9 on a latch bit that no real programmer has confirmed; if that
// line does not reach the part, every pulse on a cell of the upper half
// lands on the lower-half cell with the same low nine address bits. The
// check looks once per programming run, right after the first upper-half
// pulse that can tell: one wrong fuse instead of hundreds.

#include "core/SharedState.h"
#include "device/DeviceCycle.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quennel {

// The caption after the check found the bit in the lower half.
inline constexpr const char* AddressBit9Caption = "Address Bit 9 Does Not Reach the Device....";

class AddressBit9Guard {
public:
    AddressBit9Guard(SharedState& state, DeviceCycle& cycle);

    // For one programming run: the check runs after the first pulse that
    // needs it (Check), at most once.
    void Arm();
    void Disarm();

    // A pulse on cell Cell, bit Bit, whose bit appeared in cell Cell - 0x200.
    struct Miss {
        int32_t Cell = 0;
        int Bit = 0;
    };
    // What the last run's check found; nothing when it found the bit in place or did not run.
    const std::optional<Miss>& Missed() const { return Found; }
    // The result line that names the cells.
    std::string MissLine() const;

private:
    void Check();

    SharedState& S;
    DeviceCycle& Cycle;
    bool Due = false;
    std::optional<Miss> Found;
};

// A read of a 1k x 8 part whose two halves came back the same and not blank
// gets this line: the upper half may only be the lower one seen again.
inline constexpr const char* IdenticalHalvesLine =
    "Both halves of the part read the same: address bit 9 may not reach the device";

} // namespace quennel
