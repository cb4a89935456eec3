#pragma once
// Register-level talk with the programmer: a byte on the data lines is
// clocked into one of six latches by a select code on C0, C1 and C3 with C2
// raised as the clock; a byte comes back as two nibbles on status bits 7..4.
// A register access the port's driver refuses is noted in PortFault and
// ends the running pass (EndReached).

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "link/CrashIdle.h"
#include "link/NTPort.h"

#include <span>
#include <vector>

namespace quennel {

// The six latches by their select codes, and the park step of the control
// register (0x08 then 0x0C), which writes no latch.
enum class LatchName : uint8_t {
    Latch0A = 0x0A,
    Latch09 = 0x09,
    Latch0B = 0x0B,
    Latch03 = 0x03,
    Latch02 = 0x02,
    Latch01 = 0x01,
    Park = 0x00,
};

// One write of a latch sequence: Value into Latch (nothing for Park).
struct LatchStep {
    LatchName Latch;
    uint8_t Value;
};

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

    // Stores the step's value in LatchValue and writes it into its latch;
    // a park step only parks the control register.
    void WriteStep(const LatchStep& step);
    // Writes the idle state's steps. Once the port's driver has refused an
    // access (PortFault), nothing reaches the port but one idle state: the
    // first call after the refusal writes the steps as far as the port still
    // takes them, every later one nothing, until the port is opened again.
    void WriteIdleState(std::span<const LatchStep> steps);
    // Whether that one idle state after a refusal got through whole.
    bool IdleAfterRefusal() const { return IdleReached; }
    // One write straight to a register (the model check's burst).
    void WriteRegister(uint16_t address, uint8_t value);

    // The register writes a step makes, as offsets from the port's base
    // (0 data, 2 control), for one who writes them without this protocol.
    static void AppendRegisterWrites(const LatchStep& step, std::vector<RegisterWrite>& writes);

    // Reads one byte from the programmer into ReadValue.
    void ReadNibbles();

    void OpenPort();
    void ClosePort();
    void InitLatches();
    void ParkControl();

private:
    enum class Access { Open, IdleOwed, WritingIdle, Shut };

    void WriteLatch(uint8_t select);
    bool Allowed() const;
    bool Out(uint16_t address, uint8_t value);
    bool In(uint16_t address, uint8_t& value);
    void NoteRefusal();
    uint16_t EcrPort() const;

    SharedState& S;
    NTPort& Port;
    OperatorConsole& Console;
    Access Gate = Access::Open;
    bool IdleReached = false;
};

} // namespace quennel
