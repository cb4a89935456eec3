#pragma once
// The I/O bus of a machine with simulated programmers on some of its printer
// ports. Addresses where nothing is attached read 0xFF and swallow writes,
// like an empty ISA range. The three registers of an attached port, and any
// range the program has opened and given back, are only open to the program
// between OpenRange and CloseRange; touching them outside that window is
// recorded as a violation and does not reach the programmer. The ECR at
// base + 0x402 lies outside the range and is always reachable.

#include "link/PortBackEnd.h"
#include "sim/SimulatedProgrammer.h"
#include "sim/SimulatedViolation.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quennel {

class SimulatedBus : public PortBackEnd {
public:
    // The programmer answers at base..base+2 and base+0x402; it must outlive
    // the bus or be detached first.
    void Attach(uint16_t base, SimulatedProgrammer& programmer);
    void Detach(uint16_t base);

    // Settings, changeable at any time.
    bool RangesNeedOpening = true; // false: every range is open without asking, as on the 9x family
    std::string RefuseOpen;        // non-empty: OpenRange fails with this reason
    std::vector<uint16_t> Listed;  // the printer ports the system reports, by base

    uint8_t ReadByte(uint16_t address) override;
    void WriteByte(uint16_t address, uint8_t value) override;
    bool OpenRange(uint16_t first, uint16_t last, std::string& failure) override;
    void CloseRange(uint16_t first, uint16_t last) override;
    std::vector<uint16_t> ListedPorts() const override { return Listed; }

    bool IsOpen(uint16_t address) const;

    // Every violation of the bus and of each attached programmer.
    std::vector<SimulatedViolation> Violations() const;

private:
    SimulatedProgrammer* Owner(uint16_t address, uint16_t& offset);
    bool Reachable(uint16_t address, bool attached, char access, uint8_t value);

    std::map<uint16_t, SimulatedProgrammer*> Ports;
    std::set<uint16_t> OpenAddresses;
    std::set<uint16_t> GivenBack; // opened once, closed since
    std::vector<SimulatedViolation> ViolationLog;
};

} // namespace quennel
