#include "cli/OnePortBackEnd.h"

#include <algorithm>

namespace quennel::cli {

namespace {
constexpr uint16_t EcrOffset = 0x402;
constexpr uint8_t EmptyBus = 0xFF;
} // namespace

OnePortBackEnd::OnePortBackEnd(PortBackEnd& inner, uint16_t base) : Inner(inner), Base(base) {}

bool OnePortBackEnd::Passes(uint16_t address) const {
    const uint16_t offset = static_cast<uint16_t>(address - Base);
    return offset <= 2 || offset == EcrOffset;
}

uint8_t OnePortBackEnd::ReadByte(uint16_t address) {
    LastPassed = Passes(address);
    return LastPassed ? Inner.ReadByte(address) : EmptyBus;
}

void OnePortBackEnd::WriteByte(uint16_t address, uint8_t value) {
    LastPassed = Passes(address);
    if (LastPassed)
        Inner.WriteByte(address, value);
}

std::string_view OnePortBackEnd::LastAccessFailure() const {
    return LastPassed ? Inner.LastAccessFailure() : std::string_view();
}

// Another port's range opens as an empty one would.
bool OnePortBackEnd::OpenRange(uint16_t first, uint16_t last, std::string& failure) {
    return first == Base ? Inner.OpenRange(first, last, failure) : true;
}

void OnePortBackEnd::CloseRange(uint16_t first, uint16_t last) {
    if (first == Base)
        Inner.CloseRange(first, last);
}

std::vector<uint16_t> OnePortBackEnd::ListedPorts() const {
    const std::vector<uint16_t> listed = Inner.ListedPorts();
    if (std::ranges::find(listed, Base) == listed.end())
        return {};
    return {Base};
}

} // namespace quennel::cli
