#include "sim/SimulatedBus.h"

#include <cstdio>

namespace quennel {

namespace {
constexpr uint16_t EcrOffset = 0x402; // reached with Inp/Outp, outside the opened range
constexpr uint8_t EmptyBus = 0xFF;
} // namespace

void SimulatedBus::Attach(uint16_t base, SimulatedProgrammer& programmer) {
    Ports[base] = &programmer;
}

void SimulatedBus::Detach(uint16_t base) {
    Ports.erase(base);
}

SimulatedProgrammer* SimulatedBus::Owner(uint16_t address, uint16_t& offset) {
    for (auto& [base, programmer] : Ports) {
        uint16_t distance = static_cast<uint16_t>(address - base);
        if (distance <= 2 || distance == EcrOffset) {
            offset = distance;
            return programmer;
        }
    }
    return nullptr;
}

bool SimulatedBus::IsOpen(uint16_t address) const {
    return !RangesNeedOpening || OpenAddresses.count(address) != 0;
}

// A register of an attached port, or of a range the program once opened,
// may only be touched while its range is open.
bool SimulatedBus::Reachable(uint16_t address, bool attached, char access, uint8_t value) {
    if (IsOpen(address) || (!attached && GivenBack.count(address) == 0))
        return true;
    char text[64];
    if (access == 'W')
        std::snprintf(text, sizeof text, "W %04X %02X while the range is closed", address, value);
    else
        std::snprintf(text, sizeof text, "R %04X while the range is closed", address);
    ViolationLog.push_back({SimulatedViolation::Kind::ClosedRangeAccess, text});
    return false;
}

uint8_t SimulatedBus::ReadByte(uint16_t address) {
    uint16_t offset = 0;
    SimulatedProgrammer* programmer = Owner(address, offset);
    if (programmer && offset == EcrOffset)
        return programmer->ReadRegister(offset);
    if (!Reachable(address, programmer != nullptr, 'R', 0) || !programmer)
        return EmptyBus;
    return programmer->ReadRegister(offset);
}

void SimulatedBus::WriteByte(uint16_t address, uint8_t value) {
    uint16_t offset = 0;
    SimulatedProgrammer* programmer = Owner(address, offset);
    if (programmer && offset == EcrOffset) {
        programmer->WriteRegister(offset, value);
        return;
    }
    if (Reachable(address, programmer != nullptr, 'W', value) && programmer)
        programmer->WriteRegister(offset, value);
}

bool SimulatedBus::OpenRange(uint16_t first, uint16_t last, std::string& failure) {
    if (!RefuseOpen.empty()) {
        failure = RefuseOpen;
        return false;
    }
    for (uint32_t address = first; address <= last; ++address) {
        OpenAddresses.insert(static_cast<uint16_t>(address));
        GivenBack.erase(static_cast<uint16_t>(address));
    }
    return true;
}

void SimulatedBus::CloseRange(uint16_t first, uint16_t last) {
    for (uint32_t address = first; address <= last; ++address) {
        if (OpenAddresses.erase(static_cast<uint16_t>(address)))
            GivenBack.insert(static_cast<uint16_t>(address));
    }
}

std::vector<SimulatedViolation> SimulatedBus::Violations() const {
    std::vector<SimulatedViolation> all = ViolationLog;
    for (const auto& [base, programmer] : Ports)
        all.insert(all.end(), programmer->Violations().begin(), programmer->Violations().end());
    return all;
}

} // namespace quennel
