#pragma once
// Finding the programmer: the three standard printer ports are tried in a
// fixed order, then any other port the system lists; the first where both
// test bytes come back is confirmed after a pause, and a burst of control
// patterns then tells the older model from the current one.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "link/DelayTimer.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quennel {

// The standard ports, tried first and in this order (LPT1, LPT2, LPT3 to the operator).
inline constexpr std::array<uint16_t, 3> CandidatePorts{0x278, 0x378, 0x3BC};

// The ports a search tries: the standard three, then every other port the
// system lists (a card at 0xD010 ...), in the system's order.
std::vector<uint16_t> SearchOrder(const std::vector<uint16_t>& listed);

class ProgrammerDetection {
public:
    ProgrammerDetection(SharedState& state, LatchProtocol& latches, NTPort& port, DelayTimer& timer,
                        OperatorConsole& console);

    // The whole search; leaves ProgrammerModel, PortBase, StatusPort and
    // ControlPort, and the port that answered open.
    void FindProgrammer();
    // Opens and tests the port at PortBase: ProgrammerModel 1 when both test
    // bytes came back, otherwise 0 and the port closed again.
    void TryPort();
    // One write and read-back of the data latch; adds its diagnostic line.
    void ReadBackTest(uint8_t expected);
    // Tells model 1 from model 2 on the port just found.
    void ModelCheck();
    // Why the port's driver refused an access to a port that the last search
    // therefore rejected (the first such port); empty when none did.
    const std::string& Refusal() const { return FirstRefusal; }

private:
    void ShowNotFound();
    void RejectRefusedPort();
    void WriteRegister(uint16_t address, uint8_t value);

    SharedState& S;
    LatchProtocol& Latches;
    NTPort& Port;
    DelayTimer& Timer;
    OperatorConsole& Console;
    std::string FirstRefusal;
};

// The programmer's part of the status line, from ProgrammerModel and PortBase.
std::string ProgrammerCaption(const SharedState& state);

// The diagnostic line of one read-back test.
std::string ReadBackLine(uint16_t portBase, uint8_t expected, uint8_t found);
// The diagnostic line of a port whose driver refused an access.
std::string RefusedPortLine(uint16_t portBase, const std::string& reason);

} // namespace quennel
