#pragma once
// Register-level talk with the programmer: a byte on the data lines is
// clocked into one of six latches by a select code on C0, C1 and C3 with C2
// raised as the clock; a byte comes back as two nibbles on status bits 7..4.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "link/NTPort.h"

namespace quennel {

class LatchProtocol {
public:
    LatchProtocol(SharedState& state, NTPort& port, OperatorConsole& console);

    // Each writes the low byte of LatchValue into the named latch.
    void Latch0A();
    void Latch09();
    void Latch0B();
    void Latch03();
    void Latch02();
    void Latch01();

    // Reads one byte from the programmer into ReadValue.
    void ReadNibbles();

    void OpenPort();
    void ClosePort();
    void InitLatches();
    void ParkControl();

private:
    void WriteLatch(uint8_t select);
    void WriteControl(uint8_t value);
    uint16_t EcrPort() const;

    SharedState& S;
    NTPort& Port;
    OperatorConsole& Console;
};

} // namespace quennel
