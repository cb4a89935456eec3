#pragma once
// A machine for link tests: a simulated programmer on the bus at 0x378, the
// port-library layer with a bus trace, a fake console and the latch protocol.

#include "core/SharedState.h"
#include "link/BusTrace.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <string>
#include <vector>

namespace quennel::test {

// The trace lines without their time stamps: "W 0378 A5", "# SetFastMode 0".
inline std::vector<std::string> Untimed(const BusTrace& trace) {
    std::vector<std::string> lines;
    for (const auto& line : trace.Lines())
        lines.push_back(line.substr(line.find(' ') + 1));
    return lines;
}

struct SimulatedRig {
    explicit SimulatedRig(bool rangeNeedsOpening = true, uint16_t base = 0x378)
        : Port(Bus, &Trace, rangeNeedsOpening), Protocol(S, Port, Console) {
        Bus.RangesNeedOpening = rangeNeedsOpening;
        Bus.Attach(base, Programmer);
        S.PortBase = base;
    }

    // OpenPort followed by what its caller does next.
    void Open() {
        Protocol.OpenPort();
        S.StatusPort = static_cast<uint16_t>(S.PortBase + 1);
        S.ControlPort = static_cast<uint16_t>(S.PortBase + 2);
    }

    void Write(void (LatchProtocol::*latch)(), uint16_t value) {
        S.LatchValue = value;
        (Protocol.*latch)();
    }

    uint8_t Read() {
        Protocol.ReadNibbles();
        return S.ReadValue;
    }

    SharedState S;
    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    NTPort Port;
    FakeConsole Console;
    LatchProtocol Protocol;
};

} // namespace quennel::test
