// A short demonstration on the simulated programmer: open the port, write the
// power-up latch state, echo a test byte back through the status lines, close
// the port, and print the byte and the bus trace.
#include "core/QueueConsole.h"
#include "core/SharedState.h"
#include "link/BusTrace.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "sim/SimulatedBus.h"

#include <cstdio>

namespace {

// Shows message boxes on the terminal; nothing else has anywhere to go.
class TerminalConsole : public quennel::QueueConsole {
public:
    void ShowMessageBox(const quennel::MessageBoxRequest& box) override {
        std::printf("[%s]\n", box.Text.c_str());
    }
};

} // namespace

int main() {
    using namespace quennel;
    SimulatedProgrammer programmer;
    SimulatedBus bus;
    bus.Attach(0x378, programmer);
    BusTrace trace(BusTrace::KeepInMemory);
    NTPort port(bus, &trace);
    TerminalConsole console;
    SharedState s;
    LatchProtocol protocol(s, port, console);

    s.PortBase = 0x378;
    protocol.OpenPort();
    s.StatusPort = static_cast<uint16_t>(s.PortBase + 1);
    s.ControlPort = static_cast<uint16_t>(s.PortBase + 2);
    protocol.InitLatches();
    s.LatchValue = 0xB7;
    protocol.Latch02();
    s.LatchValue = 0xA5;
    protocol.Latch0A();
    protocol.ReadNibbles();
    uint8_t echoed = s.ReadValue;
    protocol.ClosePort();

    std::printf("Simulated programmer at 0378: wrote A5 to latch 0A, read back %02X\n", echoed);
    std::puts("Bus trace:");
    for (const auto& line : trace.Lines())
        std::puts(line.c_str());
    for (const auto& violation : bus.Violations())
        std::printf("Violation: %s\n", violation.Detail.c_str());
    return echoed == 0xA5 && bus.Violations().empty() ? 0 : 1;
}
